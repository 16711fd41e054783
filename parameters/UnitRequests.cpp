// One request to each target unit of an operation: its credentials, its target record, its
// frame and the datagram. Reads, writes and reboots all go through sendToEachUnit.
#include "parameters/ParameterSession.h"
#include "parameters/SessionInternal.h"
#include "protocol/MacAddress.h"
#include "stores/CredentialLog.h"

namespace morvik {

using namespace internal;

namespace {

std::string credentialsTooLongMessage(const std::string& mac) {
    return "The login ID or password for " + mac + " is longer than the " +
           std::to_string(CredentialLog::kMaxTokenLength) +
           " characters the credential log keeps. Nothing was sent to it.";
}

} // namespace

bool ParameterSession::sendToEachUnit(const std::vector<DeviceRecord>& units, Command command,
                                      std::size_t bufferSize, const CredentialsStep& credentials,
                                      const BodyStep& fillBody, std::chrono::milliseconds pause) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        // A copy: the dialogs below run the event loop.
        const DeviceRecord unit = units[i];
        const int index = static_cast<int>(i);
        const auto given = credentials(i, unit);
        if (!given) {
            return false;
        }
        assignTarget(index, unit, *given);

        FrameBuilder frame(bufferSize, byteOrder());
        if (!beginRequest(frame, index, unit, command) || !fillBody(i, unit, frame)) {
            return false;
        }
        if (frame.finishFrame() == 0) {
            reportRequestTooLong(unit);
            return false;
        }
        if (send(index, unit, command, frame.frame()) == SendResult::Unreachable) {
            return false;
        }
        if (pause.count() > 0) {
            ports_.pacer.pause(pause);
        }
    }
    return true;
}

ParameterSession::CredentialsStep ParameterSession::everyUnitFromTheLog() {
    return [this](std::size_t, const DeviceRecord& unit) {
        return credentialsFor(unit, operationLog(), false, "", nullptr);
    };
}

void ParameterSession::assignTarget(int unit, const DeviceRecord& record,
                                    const Credentials& credentials) {
    TargetUnit& target = targets_[static_cast<std::size_t>(unit)];
    target.mac = upperCaseMacText(record.mac);
    target.loginId = credentials.loginId;
    target.password = credentials.password;
}

// Replies are told apart by their tags alone. Among several hundred units a random draw
// repeats a tag almost surely, and one unit's answer would then be taken for another's: a tag
// that a unit of the operation holds is passed over for the next free one.
std::uint16_t ParameterSession::nextRequestId() {
    std::uint16_t id = static_cast<std::uint16_t>(random_() % 64000u + 10u);
    for (int tries = 0; tries < 64000 && requestIdInUse(id); ++tries) {
        id = static_cast<std::uint16_t>((id - 10u + 1u) % 64000u + 10u);
    }
    return id;
}

bool ParameterSession::requestIdInUse(std::uint16_t id) const {
    std::array<std::uint8_t, 2> bytes{};
    writeUnsigned(bytes.data(), id, 2, byteOrder());
    for (int i = 0; i < targetCount_; ++i) {
        const TargetUnit& target = targets_[static_cast<std::size_t>(i)];
        if ((target.requestSent && target.requestId == bytes) ||
            (target.earlierPassLive && target.earlierPassRequestId == bytes)) {
            return true;
        }
    }
    return false;
}

std::optional<Credentials> ParameterSession::credentialsFor(const DeviceRecord& unit,
                                                            CredentialLog& log, bool promptAnyway,
                                                            std::string_view label, int* logIndex) {
    const std::string mac = upperCaseMacText(unit.mac);
    const int index = log.find(mac);
    if (logIndex != nullptr) {
        *logIndex = index;
    }
    if (index >= 0 && !promptAnyway) {
        selectRecord(log, index, ports_.dialogs);
        const CredentialLog::Entry& entry = log.currentEntry();
        return Credentials{entry.loginId, entry.password};
    }
    auto entered = ports_.dialogs.promptCredentials(label);
    if (entered && (entered->loginId.size() > CredentialLog::kMaxTokenLength ||
                    entered->password.size() > CredentialLog::kMaxTokenLength)) {
        // The log would keep them cut, and the next operation would fail with the cut ones.
        ports_.dialogs.showMessage(credentialsTooLongMessage(unit.mac), kError);
        return std::nullopt;
    }
    return entered;
}

void ParameterSession::reportRequestTooLong(const DeviceRecord& unit) {
    ports_.dialogs.showMessage("The request for " + unit.mac +
                                   " does not fit its buffer: the login ID and password or a "
                                   "value are too long. Nothing was sent to it.",
                               kError);
}

bool ParameterSession::beginRequest(FrameBuilder& frame, int unit, const DeviceRecord& record,
                                    Command command) {
    TargetUnit& target = targets_[static_cast<std::size_t>(unit)];
    const bool byBroadcast = record.addressMode == "2";
    const MacBytes mac = parseMacText(record.mac).value_or(MacBytes{});
    if (!frame.beginFrame(byBroadcast ? HeaderKind::Long : HeaderKind::Short, mac, target.loginId,
                          target.password) ||
        !frame.putRequestId(nextRequestId()) || !frame.putCommand(command)) {
        reportRequestTooLong(record);
        return false;
    }
    // Counted as sent only once it went out (send): a request refused before then is
    // awaited by no one.
    target.requestId = frame.requestIdBytes();
    return true;
}

ParameterSession::SendResult ParameterSession::send(int unit, const DeviceRecord& record,
                                                    Command command,
                                                    std::span<const std::uint8_t> frame) {
    const bool unreachable =
        record.addressMode != "2" &&
        (record.ip == "0.0.0.0" || !ports_.transport.isOnLocalSubnet(record.ip));
    if (unreachable) {
        ports_.dialogs.showMessage("Can't send to " + record.ip, kError);
        return SendResult::Unreachable;
    }
    targets_[static_cast<std::size_t>(unit)].requestSent = true;
    if (record.addressMode == "2") {
        ports_.transport.broadcast(frame);
    } else if (command == Command::ReadRequest) {
        // A read sent to a unit's own address carries one zero byte after the frame.
        std::vector<std::uint8_t> padded(frame.begin(), frame.end());
        padded.push_back(0);
        ports_.transport.sendTo(padded, record.ip);
    } else {
        ports_.transport.sendTo(frame, record.ip);
    }
    if (events_ != nullptr) {
        events_->requestSent(unit, command, frame);
    }
    return SendResult::Sent;
}

} // namespace morvik
