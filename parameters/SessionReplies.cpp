// What the units answer: values into the list, acknowledgements completing a write, refusals
// asking for credentials again, and the credentials that worked into the credential log.
#include "description/ValueTypes.h"
#include "parameters/ParameterSession.h"
#include "parameters/ParameterTable.h"
#include "parameters/SessionInternal.h"
#include "protocol/ReadReplyBody.h"
#include "stores/CredentialLog.h"

#include <cstdio>
#include <utility>

namespace morvik {

using namespace internal;

namespace {

constexpr std::string_view kMessageLengthError = "Message length error";
constexpr std::string_view kErrorTryAgain = "Error occured. Try again !!";
constexpr std::string_view kRebooting = "Shut down completed!. Now rebooting...";

// The parameters of the current description as the reply walk sees them.
class SlotLayout final : public ParameterLayout {
public:
    explicit SlotLayout(const DescriptionSlot& slot) : slot_(slot) {}
    int findParameter(std::string_view address) const override {
        return slot_.findParameter(address);
    }
    std::pair<int, int> findRange(std::string_view rangeAddress) const override {
        return slot_.findRange(rangeAddress);
    }
    int parameterSize(int index) const override {
        const ParameterRow* row = slot_.row(index);
        return row != nullptr && row->size > 0 ? row->size : 0;
    }

private:
    const DescriptionSlot& slot_;
};

} // namespace

int ParameterSession::targetOfFrame(const ParsedFrame& frame, bool* earlierPass) const {
    for (int i = 0; i < targetCount_; ++i) {
        const TargetUnit& target = targets_[static_cast<std::size_t>(i)];
        if (target.requestSent && target.requestId == frame.requestId) {
            return i;
        }
    }
    for (int i = 0; i < targetCount_; ++i) {
        const TargetUnit& target = targets_[static_cast<std::size_t>(i)];
        if (target.earlierPassLive && target.earlierPassRequestId == frame.requestId) {
            if (earlierPass != nullptr) {
                *earlierPass = true;
            }
            return i;
        }
    }
    return -1;
}

void ParameterSession::handleUnitReply(std::span<const std::uint8_t> datagram,
                                       std::string_view source) {
    // Our own copy: a dialog opened below runs the event loop, and the caller's receive buffer
    // may be reused by a nested reply.
    const std::vector<std::uint8_t> bytes(datagram.begin(), datagram.end());
    if (bytes.size() > kReceiveBufferSize) {
        return;
    }
    const auto frame = parseFrame(bytes, byteOrder());
    if (!frame) {
        return;
    }
    bool earlierPass = false;
    const int unit = targetOfFrame(*frame, &earlierPass);
    if (unit < 0 ||
        (earlierPass && frame->command != static_cast<std::uint8_t>(Command::ReadReply))) {
        return;
    }
    const auto command = static_cast<Command>(frame->command);
    if (events_ != nullptr) {
        if (!events_->admitReply(unit, *frame, source)) {
            return;
        }
        events_->replyAccepted(unit, *frame);
        switch (command) {
        case Command::ReadReply:
            events_->unitAnswered(unit, UnitAnswer::ValuesTaken, command);
            break;
        case Command::WriteAck:
        case Command::RebootAck:
            events_->unitAnswered(unit, UnitAnswer::Accepted, command);
            break;
        case Command::ErrorReply:
            events_->unitAnswered(unit, UnitAnswer::Refused, command);
            break;
        default:
            break;
        }
    }
    acceptCredentials(unit, *frame);

    if ((command == Command::ReadReply || command == Command::WriteAck) &&
        !frame->checksumMatches()) {
        char text[64];
        std::snprintf(text, sizeof text, "cal : %d recv : %d ", frame->computedChecksum,
                      frame->receivedChecksum.value_or(0));
        ports_.dialogs.showMessage(text, kError);
    }
    switch (command) {
    case Command::ReadReply:
        handleReadReply(unit, *frame, !earlierPass);
        break;
    case Command::WriteAck:
        handleWriteAck(unit);
        break;
    case Command::ErrorReply:
        handleErrorReply(unit);
        break;
    case Command::RebootAck:
        ports_.dialogs.showMessage(kRebooting, "Done");
        break;
    default:
        break;
    }
}

void ParameterSession::acceptCredentials(int unit, const ParsedFrame& frame) {
    const TargetUnit target = targets_[static_cast<std::size_t>(unit)];
    if (frame.loginId.empty() || frame.loginId != target.loginId || frame.password.empty() ||
        frame.password != target.password || target.mac.empty()) {
        return;
    }
    CredentialLog& log = operationLog();
    if (log.find(target.mac) >= 0 ||
        frame.command == static_cast<std::uint8_t>(Command::ErrorReply)) {
        return;
    }
    const int index = log.count();
    if (!log.raiseCount()) {
        CredentialLog::SaveResult full;
        full.status = CredentialLog::SaveStatus::Full;
        full.notRecorded.push_back(target.mac);
        showMessages(ports_.dialogs, saveMessages(full));
        if (events_ != nullptr) {
            events_->credentialLogSaved(false);
        }
        return;
    }
    log.setEntry(target.mac, target.loginId, target.password, index);
    saveCredentialLog(log);
}

void ParameterSession::saveCredentialLog(CredentialLog& log) {
    switch (loginRecording_) {
    case LoginRecording::AtOnce:
        storeCredentialLog(log);
        return;
    case LoginRecording::Collected:
        loginsCollected_ = true;
        return;
    case LoginRecording::Off:
        return;
    }
}

void ParameterSession::saveCollectedLogins() {
    if (std::exchange(loginsCollected_, false) && operationLog_) {
        storeCredentialLog(*operationLog_);
    }
}

void ParameterSession::storeCredentialLog(CredentialLog& log) {
    const CredentialLog::SaveResult result = log.store();
    showMessages(ports_.dialogs, saveMessages(result));
    if (events_ != nullptr) {
        events_->credentialLogSaved(result.saved());
    }
}

void ParameterSession::updateCell(int parameter, const std::string& text, int unit) {
    if (targetCount_ == 1 || unit == 0) {
        setValueText(parameter, text);
    } else if (const int line = ports_.table.lineOfParameter(parameter);
               line >= 0 && ports_.table.text(line, ParameterTable::ValueColumn) != text) {
        // Several units: a value is shown only while every unit agrees with the first one.
        setValueText(parameter, {});
    }
}

void ParameterSession::handleReadReply(int unit, const ParsedFrame& frame, bool continuePasses) {
    bool lengthError = frame.declaredBodyLength < 0;
    if (frame.declaredBodyLength > 0) {
        const DescriptionSlot& description = cache_.current();
        const SlotLayout layout(description);
        ParameterTable& table = ports_.table;
        const ByteOrder order = byteOrder();
        const BodyWalkEnd end =
            walkReadReplyBody(frame.body, frame.declaredBodyLength, order, layout,
                              [&](int parameter, std::span<const std::uint8_t> value) {
                                  const ParameterRow* row = description.row(parameter);
                                  if (row == nullptr) {
                                      return;
                                  }
                                  const std::string text = valueToText(
                                      *row, row->definedValues, row->enumeration, value, order);
                                  if (events_ != nullptr) {
                                      events_->valueDecoded(unit, parameter, text);
                                  }
                                  table.setModifiedMark(parameter, 0);
                                  if (row->accessKind != AccessKind::Hidden) {
                                      updateCell(parameter, text, unit);
                                  }
                              });
        if (end == BodyWalkEnd::UnknownAddress) {
            return;
        }
        lengthError = end == BodyWalkEnd::LengthError;
    }
    if (lengthError) {
        ports_.dialogs.showMessage(kMessageLengthError, kError);
    }
    if (resumeIndex_ != 0 && continuePasses) {
        const bool outer = nextPassOfGroup_;
        nextPassOfGroup_ = true;
        continuingOperation_ = true;
        readParameters(ports_.table.shownGroup());
        nextPassOfGroup_ = outer;
    }
}

void ParameterSession::clearMarksOfShownLines(int lineCount) {
    ParameterTable& table = ports_.table;
    const int lines = std::min(lineCount, table.lineCount());
    for (int line = 0; line < lines; ++line) {
        table.setModifiedMark(table.parameterOfLine(line), 0);
    }
}

void ParameterSession::handleWriteAck(int unit) {
    TargetUnit& target = targets_[static_cast<std::size_t>(unit)];
    if (!writeActive_ || target.writeAcknowledged || target.writeStopped) {
        return; // a repeated acknowledgement, or one of no write going on
    }
    target.writeAcknowledged = true;
    advanceWrite(unit);
    settleWrite();
}

void ParameterSession::handleErrorReply(int unit) {
    if (!loginChangePending_) {
        ports_.dialogs.showMessage(kErrorTryAgain, kError);
        if (deferRefusalOfWrite(unit)) {
            return;
        }
        forcePrompt_ = true;
        forcedPromptMac_ = targets_[static_cast<std::size_t>(unit)].mac;
        readParameters(0);
        return;
    }
    // The units' login was changed by the last write: the log follows the change.
    const TargetUnit target = targets_[static_cast<std::size_t>(unit)];
    CredentialLog& log = operationLog();
    const int index = log.find(target.mac);
    if (index >= 0) {
        selectRecord(log, index, ports_.dialogs);
        const std::string& newId = newLoginId_[static_cast<std::size_t>(unit)];
        const std::string& newPassword = newLoginPassword_[static_cast<std::size_t>(unit)];
        log.setEntry(target.mac, newId.empty() ? target.loginId : newId,
                     newPassword.empty() ? target.password : newPassword, index);
        saveCredentialLog(log);
    }
    loginChangePending_ = false;
    resumeIndex_ = 0;
    readParameters(ports_.table.shownGroup());
}

} // namespace morvik
