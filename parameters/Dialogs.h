#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morvik {

struct Credentials {
    std::string loginId;
    std::string password;
    friend bool operator==(const Credentials&, const Credentials&) = default;
};

// The modal dialogs the operations use. The GUI shows real dialogs (which run nested event
// loops); tests answer from a script; the command line tool answers from its options.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Message box with an OK button.
    virtual void showMessage(std::string_view text, std::string_view caption) = 0;
    // The confirm dialog: caption and three lines; true for Yes.
    virtual bool confirm(std::string_view caption, std::string_view line1, std::string_view line2,
                         std::string_view line3) = 0;
    // Asked before a load gives the units another unit's identity (names, addresses): true
    // loads those values too, as when a unit is cloned onto its replacement; false keeps each
    // unit's own. Whoever cannot ask loads the file as it is.
    virtual bool confirmIdentityLoad(std::string_view /*line1*/, std::string_view /*line2*/,
                                     std::string_view /*line3*/) {
        return true;
    }
    // The password prompt with its unit label; nothing when cancelled.
    virtual std::optional<Credentials> promptCredentials(std::string_view label) = 0;
};

} // namespace morvik
