#pragma once

#include "parameters/Dialogs.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace morvik::cli {

// The operations' dialogs without windows. A message box becomes one line on standard error,
// "Caption: text"; confirmations are answered by --yes (or asked at a terminal); the password
// prompt is answered by --id/--password (or asked at a terminal). The offer to reboot that
// follows a completed write is always declined here: the tool reboots the written units
// itself, once every unit has answered, when --reboot was given.
class ConsoleDialogs final : public Dialogs {
public:
    struct Settings {
        bool yes = false;
        bool interactive = false; // standard input is a terminal
        bool quietDone = false;   // "Done" messages are left out (--json)
        std::optional<Credentials> credentials;
    };

    ConsoleDialogs(Settings settings, std::ostream& errors);

    void showMessage(std::string_view text, std::string_view caption) override;
    bool confirm(std::string_view caption, std::string_view line1, std::string_view line2,
                 std::string_view line3) override;
    std::optional<Credentials> promptCredentials(std::string_view label) override;

    // The unit whose reply is being handled ("" for none): a "Done" message about one unit
    // names it, which several units answering the same operation need.
    void setSubject(std::string subject) { subject_ = std::move(subject); }

    // The tool's own lines on standard error: "morvik-cli: text".
    void note(std::string_view text);

    // A prompt appeared that nothing could answer.
    bool credentialsNeeded() const { return credentialsNeeded_; }
    // A confirmation was refused (no --yes and no terminal, or the person said no).
    bool confirmationRefused() const { return confirmationRefused_; }
    int rebootOffers() const { return rebootOffers_; }
    // The tool's notes and the error messages so far, one line each ("Error: text"): why a
    // run that ends before its operation failed.
    const std::vector<std::string>& problems() const { return problems_; }
    // Message boxes with the caption "Error" or "Fatal Error" since the last reset.
    int errorMessages() const { return errorMessages_; }
    void resetErrorMessages() { errorMessages_ = 0; }

    const Settings& settings() const { return settings_; }

private:
    Settings settings_;
    std::ostream& errors_;
    bool credentialsNeeded_ = false;
    bool confirmationRefused_ = false;
    bool setConfirmedAtTerminal_ = false;
    int rebootOffers_ = 0;
    int errorMessages_ = 0;
    std::vector<std::string> problems_;
    std::string subject_;
};

// A message box text as one line: every line break (with the blanks around it) becomes one
// blank.
std::string oneLine(std::string_view text);

} // namespace morvik::cli
