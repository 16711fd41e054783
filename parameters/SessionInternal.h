#pragma once

// What the files of ParameterSession share; nothing outside the session includes this.

#include "parameters/Dialogs.h"
#include "stores/StoreMessage.h"

#include <string_view>
#include <vector>

namespace morvik::internal {

inline constexpr std::string_view kError = "Error";
inline constexpr std::string_view kNoSelectedDevice = "No Selected Device !!";
inline constexpr std::string_view kOtherDevices = "You've selected other devices.!!";
inline constexpr std::string_view kRebootConfirm = "Reboot Confirm";

inline void showMessages(Dialogs& dialogs, const std::vector<StoreMessage>& messages) {
    for (const StoreMessage& message : messages) {
        dialogs.showMessage(message.text, message.caption);
    }
}

// Makes `index` the store's current record, telling the user when it is out of range.
template <typename Store>
bool selectRecord(Store& store, int index, Dialogs& dialogs) {
    if (store.select(index)) {
        return true;
    }
    showMessages(dialogs, {outOfRangeMessage()});
    return false;
}

} // namespace morvik::internal
