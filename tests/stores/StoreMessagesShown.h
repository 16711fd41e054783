#pragma once

#include "stores/CredentialLog.h"
#include "stores/StoreMessage.h"
#include "support/ScriptedDialogs.h"

#include <vector>

namespace morvik::testing {

// The stores hand their messages back as data; these show them the way the operations do, so
// that tests read them as the user sees them.
inline void showStoreMessages(const std::vector<StoreMessage>& messages, ScriptedDialogs& dialogs) {
    for (const StoreMessage& message : messages) {
        dialogs.showMessage(message.text, message.caption);
    }
}

template <typename Store>
bool selectShowing(Store& store, int index, ScriptedDialogs& dialogs) {
    if (store.select(index)) {
        return true;
    }
    showStoreMessages({outOfRangeMessage()}, dialogs);
    return false;
}

inline void reportSave(const CredentialLog::SaveResult& result, ScriptedDialogs& dialogs) {
    showStoreMessages(saveMessages(result), dialogs);
}

inline bool saveShowing(CredentialLog& log, ScriptedDialogs& dialogs) {
    const CredentialLog::SaveResult result = log.store();
    reportSave(result, dialogs);
    return result.saved();
}

} // namespace morvik::testing
