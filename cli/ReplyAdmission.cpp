#include "cli/SessionDriver.h"
#include "cli/UnitLabel.h"
#include "protocol/MacAddress.h"
#include "protocol/ParameterFrame.h"

// Which replies the tool takes as a unit's word, and what a refusal does to the unit.

namespace morvik::cli {

namespace {

constexpr std::string_view kErrorTryAgain = "Error occured. Try again !!";

} // namespace

// After an ErrorReply the session reads everything again and prompts for the credentials of
// the unit that refused. That helps only when something can answer the prompt with
// credentials other than the refused ones; otherwise the re-read would only drop the replies
// still on their way from the other units.
bool SessionDriver::sessionShouldRecover(int unit) const {
    switch (phase_) {
    case Phase::Read: {
        if (session_->loginChangePending()) {
            return true;
        }
        if (unit < 0 || static_cast<std::size_t>(unit) >= progress_.size()) {
            return false;
        }
        const TargetUnit& target = session_->targetUnit(unit);
        const Credentials refused{target.loginId, target.password};
        if (settings_.credentials && *settings_.credentials != refused) {
            return true;
        }
        return settings_.interactive && !settings_.credentials;
    }
    case Phase::FollowUp:
        // The credential log follows the login change; anything else is a refusal.
        return session_->loginChangePending();
    case Phase::Write:
    case Phase::Reboot:
    case Phase::Idle:
        // The session would read again and treat the write as done; a refused write or
        // reboot is reported instead (and its login change is not followed: it did not
        // happen).
        return false;
    }
    return false;
}

void SessionDriver::refuse(int unit) {
    Progress& progress = progress_[static_cast<std::size_t>(unit)];
    progress.refused = true;
    finish(unit, UnitResult::Error);
    const DeviceRecord& record = selection_[static_cast<std::size_t>(unit)];
    dialogs_.showMessage(kErrorTryAgain, "Error");
    if (!settings_.credentials && !settings_.interactive) {
        credentialsNeeded_ = true;
        dialogs_.note(unitLabel(record) +
                      " refused the login ID and password of pwd.ini: give --id and --password "
                      "(read the unit with them to put them into pwd.ini)");
    } else if (phase_ == Phase::Write || phase_ == Phase::Reboot) {
        dialogs_.note(unitLabel(record) +
                      " refused the login ID and password of pwd.ini: read it with --id and "
                      "--password first, which puts working ones into pwd.ini");
    } else if (settings_.credentials) {
        dialogs_.note(unitLabel(record) +
                      " refused the login ID and password given with --id and --password too");
    } else {
        dialogs_.note(unitLabel(record) + " refused the login ID and password");
    }
}

// A ReadReply or WriteAck whose checksum does not match is not the unit's word: the desktop
// program shows the values all the same, but a script must not be told "ok" for it. It is
// reported once, naming the unit, and the unit's result stays open for a valid reply.
bool SessionDriver::rejectChecksum(int unit, const ParsedFrame& frame) {
    const auto command = static_cast<Command>(frame.command);
    if ((command != Command::ReadReply && command != Command::WriteAck) ||
        frame.checksumMatches()) {
        return false;
    }
    Progress& progress = progress_[static_cast<std::size_t>(unit)];
    if (!progress.checksumFailed) {
        progress.checksumFailed = true;
        dialogs_.showMessage(unitLabel(selection_[static_cast<std::size_t>(unit)]) +
                                 ": cal : " + std::to_string(frame.computedChecksum) +
                                 " recv : " + std::to_string(frame.receivedChecksum.value_or(0)),
                             "Error");
    }
    return true;
}

bool SessionDriver::admitReply(int unit, const ParsedFrame& frame, std::string_view source) {
    if (unit >= static_cast<int>(progress_.size())) {
        return false; // a unit of no operation of the tool
    }
    const DeviceRecord& record = selection_[static_cast<std::size_t>(unit)];
    if (record.addressMode == "2") {
        // Reached by broadcast: the answer names the unit in its long header.
        if (frame.headerKind != HeaderKind::Long || parseMacText(record.mac) != frame.mac) {
            return false;
        }
    } else if (source != record.ip) {
        return false; // a unit reached by its own address answers from it
    }
    scheduler_->heardFrom(unit);
    if (rejectChecksum(unit, frame)) {
        return false;
    }
    if (frame.command == static_cast<std::uint8_t>(Command::ErrorReply)) {
        if (progress_[static_cast<std::size_t>(unit)].finished) {
            return false; // a late or repeated refusal of a unit already done with
        }
        if (!sessionShouldRecover(unit)) {
            refuse(unit);
            return false;
        }
    }
    // Messages the session shows while it handles this reply concern this unit.
    dialogs_.setSubject(unitLabel(record));
    return true;
}

} // namespace morvik::cli
