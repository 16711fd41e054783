#pragma once

#include "parameters/Dialogs.h"

#include <QString>
#include <functional>

class QWidget;

namespace morvik {

// The operations' dialogs as real modal windows over `parent`. Each runs a nested event loop,
// in which socket notifications and timers go on being handled.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}

    void showMessage(std::string_view text, std::string_view caption) override;
    bool confirm(std::string_view caption, std::string_view line1, std::string_view line2,
                 std::string_view line3) override;
    // "Load Confirm", No the default: Enter alone keeps the units' own identity.
    bool confirmIdentityLoad(std::string_view line1, std::string_view line2,
                             std::string_view line3) override;
    std::optional<Credentials> promptCredentials(std::string_view label) override;

    // Asked each time the password prompt opens: a line it adds under its fields.
    void setPromptHint(std::function<QString()> hint) { promptHint_ = std::move(hint); }

private:
    QWidget* parent_;
    std::function<QString()> promptHint_;
};

} // namespace morvik
