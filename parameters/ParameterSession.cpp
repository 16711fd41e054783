#include "parameters/ParameterSession.h"

#include "config/ConfigurationFile.h"
#include "description/DescriptionParser.h"
#include "description/ValueTypes.h"
#include "parameters/ClassFilter.h"
#include "parameters/DescriptionShown.h"
#include "parameters/ParameterTable.h"
#include "protocol/MacAddress.h"
#include "protocol/ReadReplyBody.h"
#include "stores/CredentialLog.h"
#include "stores/IniDatabaseFile.h"
#include "stores/ProductIdDatabase.h"
#include "stores/WholeFile.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <tuple>

namespace morvik {

namespace {

constexpr std::string_view kError = "Error";
constexpr std::string_view kNoSelectedDevice = "No Selected Device !!";
constexpr std::string_view kOtherDevices = "You've selected other devices.!!";
constexpr std::string_view kInvalidProductId = "Invalid product id!!";
constexpr std::string_view kMessageLengthError = "Message length error";
constexpr std::string_view kErrorTryAgain = "Error occured. Try again !!";
constexpr std::string_view kRebooting = "Shut down completed!. Now rebooting...";
constexpr std::string_view kFileOpenError = "File Open Error";
constexpr std::string_view kFileNotMatch = "Saved file not match. Wrong product id & version.";

constexpr std::string_view kRebootConfirm = "Reboot Confirm";
constexpr std::string_view kSetConfirm = "Set Confirm";

constexpr mode_t kPrivateFilePermissions = 0600;
constexpr mode_t kSharedFilePermissions = 0644;

std::string credentialsTooLongMessage(const std::string& mac) {
    return "The login ID or password for " + mac + " is longer than the " +
           std::to_string(CredentialLog::kMaxTokenLength) +
           " characters the credential log keeps. Nothing was sent to it.";
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Login parameters are recognised by the first and the last two characters of the address.
bool isLoginIdAddress(std::string_view address) {
    return startsWith(address, "2.") && endsWith(address, ".1");
}

bool isLoginPasswordAddress(std::string_view address) {
    return startsWith(address, "2.") && endsWith(address, ".2");
}

// "%d.%d": both numbers, or zeros for what is missing.
std::pair<int, int> versionNumbers(const std::string& version) {
    int major = 0;
    int minor = 0;
    if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) < 1) {
        major = 0;
    }
    return {major, minor};
}

void showMessages(Dialogs& dialogs, const std::vector<StoreMessage>& messages) {
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

ParameterSession::ParameterSession(Ports ports, std::string dataDirectory, std::uint32_t seed)
    : ports_(ports), dataDirectory_(std::move(dataDirectory)), random_(seed) {}

std::optional<std::vector<DeviceRecord>> ParameterSession::takeSelection() {
    std::vector<DeviceRecord> units = ports_.selection.selectedUnits();
    if (units.size() > static_cast<std::size_t>(kMaxTargetUnits)) {
        ports_.dialogs.showMessage("Too many devices are selected: at most 700 can be handled "
                                   "at once. Nothing was sent.",
                                   kError);
        return std::nullopt;
    }
    // A new operation: replies to earlier requests no longer belong to anyone.
    targetCount_ = static_cast<int>(units.size());
    writePassOpen_ = false;
    for (TargetUnit& target : targets_) {
        target.writeAcknowledged = false;
        target.earlierPassLive = nextPassOfGroup_ && target.requestSent;
        if (target.earlierPassLive) {
            target.earlierPassRequestId = target.requestId;
        }
        target.requestSent = false;
    }
    if (units.empty()) {
        ports_.dialogs.showMessage(kNoSelectedDevice, kError);
        return std::nullopt;
    }
    return units;
}

std::optional<std::vector<DeviceRecord>> ParameterSession::startOperation() {
    auto units = takeSelection();
    if (!units) {
        return std::nullopt;
    }
    const SelectionCheck check = checkSelection();
    if (!check.accepted) {
        ports_.dialogs.showMessage(kOtherDevices, kError);
        return std::nullopt;
    }
    productCode_ = productCodeOf(check.productId);
    return units;
}

void ParameterSession::assignTarget(int unit, const DeviceRecord& record,
                                    const Credentials& credentials) {
    TargetUnit& target = targets_[static_cast<std::size_t>(unit)];
    target.mac = upperCaseMacText(record.mac);
    target.loginId = credentials.loginId;
    target.password = credentials.password;
}

SelectionCheck ParameterSession::checkSelection() {
    const std::vector<DeviceRecord> units = ports_.selection.selectedUnits();
    SelectionCheck check;
    if (units.empty()) {
        return check;
    }
    check.productId = commonText(units, &DeviceRecord::productId);
    check.version = commonText(units, &DeviceRecord::version);
    check.addressMode = units.front().addressMode;
    check.accepted = check.productId != "ERROR" && check.version != "ERROR" &&
                     commonText(units, &DeviceRecord::addressMode) != "ERROR";
    return check;
}

int ParameterSession::findParameter(std::string_view address) const {
    return cache_.current().findParameter(address);
}

std::pair<int, int> ParameterSession::findRange(std::string_view rangeAddress) const {
    return cache_.current().findRange(rangeAddress);
}

std::string ParameterSession::getValueText(int parameter) const {
    const int line = ports_.table.lineOfParameter(parameter);
    return line < 0 ? std::string() : ports_.table.text(line, ParameterTable::ValueColumn);
}

void ParameterSession::setValueText(int parameter, std::string text) {
    const int line = ports_.table.lineOfParameter(parameter);
    if (line >= 0) {
        ports_.table.setText(line, ParameterTable::ValueColumn, std::move(text));
    }
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

void ParameterSession::readParametersRequested(int group) {
    resumeIndex_ = 0;
    readParameters(group);
}

std::optional<std::vector<DeviceRecord>> ParameterSession::prepareRead(int& group) {
    auto units = startOperation();
    if (!units) {
        return std::nullopt;
    }
    const SelectionCheck check = checkSelection();

    ProductIdDatabase products(dataDirectory_);
    products.load();
    const int record = products.find(check.productId);
    if (record < 0) {
        ports_.dialogs.showMessage(kInvalidProductId, kError);
        return std::nullopt;
    }
    selectRecord(products, record, ports_.dialogs);
    const auto [major, minor] = versionNumbers(check.version);
    const std::string fileName =
        dataFilePath(dataDirectory_, products.currentName() + "_" + check.version + ".dcf");

    // A group the current description does not have is read as everything.
    if (!cache_.current().hasGroup(group)) {
        group = 0;
    }
    if (group == 0) {
        const DescriptionParse parse =
            parseDescription(fileName, productCode_, major, minor, cache_);
        if (!showParsedDescription(parse, cache_, ports_.table, ports_.classFilter,
                                   ports_.dialogs)) {
            return std::nullopt;
        }
        resumeIndex_ = 0;
    }
    return units;
}

bool ParameterSession::prepareDescription() {
    int group = 0;
    return prepareRead(group).has_value();
}

void ParameterSession::readParameters(int group) {
    const auto units = prepareRead(group);
    if (!units) {
        return;
    }
    CredentialLog log(dataDirectory_);
    log.load();
    const int firstOffset = resumeIndex_;
    // Where the next pass of a group starts: the least of the units' stopping points. Units
    // whose credentials differ in length fit different numbers of entries into a request; the
    // one that fitted the fewest decides, so that no unit misses a parameter (the others are
    // asked for a few twice). -1 before the first unit.
    int passNext = -1;
    // A forced prompt goes to the unit that refused its credentials, or to the first unit
    // when that one is no longer selected.
    std::size_t promptedUnit = 0;
    for (std::size_t i = 0; i < units->size(); ++i) {
        if (!forcedPromptMac_.empty() && upperCaseMacText((*units)[i].mac) == forcedPromptMac_) {
            promptedUnit = i;
            break;
        }
    }
    for (std::size_t i = 0; i < units->size(); ++i) {
        const DeviceRecord unit = (*units)[i];
        const int index = static_cast<int>(i);

        int logIndex = -1;
        const bool prompting = forcePrompt_ && i == promptedUnit;
        const auto credentials =
            credentialsFor(unit, log, prompting, "[ " + unit.name + " ]", &logIndex);
        if (!credentials) {
            return;
        }
        assignTarget(index, unit, *credentials);
        if (logIndex < 0 || prompting) {
            // Entered by the user: a known unit's entry is replaced at once; an unknown unit
            // enters the log only when its reply shows the credentials work.
            if (logIndex >= 0) {
                log.setEntry(upperCaseMacText(unit.mac), credentials->loginId,
                             credentials->password, logIndex);
                saveCredentialLog(log);
            }
        }
        if (i == promptedUnit) {
            forcePrompt_ = false;
            forcedPromptMac_.clear();
        }

        FrameBuilder frame(kRequestBufferSize, byteOrder());
        if (!beginRequest(frame, index, unit, Command::ReadRequest)) {
            return;
        }
        if (group == 0) {
            frame.appendBytes(kReadAllBody);
        } else {
            const DescriptionSlot& description = cache_.current();
            const auto [first, end] = description.groupRows(group);
            int unitNext = end - first; // the whole group went into this request
            bool anyEntry = false;
            for (int p = first + firstOffset; p < end; ++p) {
                const ParameterRow* row = description.row(p);
                if (row == nullptr) {
                    break;
                }
                if (!frame.appendEntry(row->address, {})) {
                    if (!anyEntry) {
                        reportRequestTooLong(unit);
                        return;
                    }
                    unitNext = p - first;
                    break;
                }
                anyEntry = true;
                if (p + 1 < end && frame.pastChunkThreshold()) {
                    unitNext = p + 1 - first;
                    break;
                }
            }
            passNext = passNext < 0 ? unitNext : std::min(passNext, unitNext);
            resumeIndex_ = passNext >= end - first ? 0 : passNext;
        }
        if (frame.finishFrame() == 0) {
            reportRequestTooLong(unit);
            return;
        }
        if (send(index, unit, Command::ReadRequest, frame.frame()) == SendResult::Unreachable) {
            return;
        }
        ports_.pacer.pause(kUnitPause);
    }
}

void ParameterSession::showGroup(int group) {
    ParameterTable& table = ports_.table;
    table.setShownGroup(group);
    table.removeAllLines();
    const DescriptionSlot& description = cache_.current();
    int first = 0;
    int end = 0;
    if (group == 0) {
        end = description.rowCount();
    } else {
        std::tie(first, end) = description.groupRows(group);
    }
    for (int p = first; p < end; ++p) {
        const ParameterRow* row = description.row(p);
        if (row == nullptr) {
            break;
        }
        const int line = table.lineCount();
        if (!table.insertLine(line, row->className)) {
            break;
        }
        table.setText(line, ParameterTable::ParameterColumn, row->parameterName);
    }
    resumeIndex_ = 0;
    readParameters(group);
}

void ParameterSession::Refresh() {
    readParameters(ports_.table.shownGroup());
}

void ParameterSession::handleUnitReply(std::span<const std::uint8_t> datagram) {
    // Our own copy: a dialog opened below runs the event loop, and the caller's receive buffer
    // may be reused by a nested reply.
    const std::vector<std::uint8_t> bytes(datagram.begin(), datagram.end());
    if (bytes.size() > kReceiveBufferSize) {
        return;
    }
    const auto frame = parseReply(bytes, byteOrder());
    if (!frame) {
        return;
    }
    int unit = -1;
    for (int i = 0; i < targetCount_; ++i) {
        const TargetUnit& target = targets_[static_cast<std::size_t>(i)];
        if (target.requestSent && target.requestId == frame->requestId) {
            unit = i;
            break;
        }
    }
    bool earlierPass = false;
    for (int i = 0; unit < 0 && i < targetCount_; ++i) {
        const TargetUnit& target = targets_[static_cast<std::size_t>(i)];
        if (target.earlierPassLive && target.earlierPassRequestId == frame->requestId) {
            unit = i;
            earlierPass = true;
        }
    }
    if (unit < 0 ||
        (earlierPass && frame->command != static_cast<std::uint8_t>(Command::ReadReply))) {
        return;
    }
    if (events_ != nullptr) {
        events_->replyAccepted(unit, *frame);
    }
    acceptCredentials(unit, *frame);

    const auto command = static_cast<Command>(frame->command);
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
    CredentialLog log(dataDirectory_);
    log.load();
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
    const CredentialLog::SaveResult result = log.store();
    showMessages(ports_.dialogs, saveMessages(result));
    if (events_ != nullptr) {
        events_->credentialLogSaved(result.saved());
    }
}

void ParameterSession::updateCell(int parameter, const std::string& text, int unit) {
    if (targetCount_ == 1 || unit == 0) {
        setValueText(parameter, text);
    } else if (getValueText(parameter) != text) {
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
    if (target.writeAcknowledged) {
        return; // a repeated acknowledgement
    }
    target.writeAcknowledged = true;
    finishWritePassIfAcknowledged();
}

void ParameterSession::finishWritePassIfAcknowledged() {
    if (!writePassOpen_) {
        return;
    }
    for (int i = 0; i < targetCount_; ++i) {
        if (!targets_[static_cast<std::size_t>(i)].writeAcknowledged) {
            return;
        }
    }
    // Closed before any dialog opens: an acknowledgement arriving while it is shown finds no
    // pass to complete, so the user is asked once per write.
    writePassOpen_ = false;
    if (resumeIndex_ != 0) {
        // Every unit went through the rows before resumeIndex; the rest follow.
        clearMarksOfShownLines(resumeIndex_);
        writeParameters();
        return;
    }
    clearMarksOfShownLines(ports_.table.lineCount());
    if (ports_.dialogs.confirm(kRebootConfirm, "Parameter values updated !",
                               "You have to reboot device(s) to apply changes.",
                               "Do you want to reboot device(s) now? ")) {
        rebootUnits();
    }
}

void ParameterSession::handleErrorReply(int unit) {
    if (!loginChangePending_) {
        ports_.dialogs.showMessage(kErrorTryAgain, kError);
        forcePrompt_ = true;
        forcedPromptMac_ = targets_[static_cast<std::size_t>(unit)].mac;
        readParameters(0);
        return;
    }
    // The units' login was changed by the last write: the log follows the change.
    const TargetUnit target = targets_[static_cast<std::size_t>(unit)];
    CredentialLog log(dataDirectory_);
    log.load();
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

std::optional<std::string> ParameterSession::writeRefusal(int parameter,
                                                          std::string_view text) const {
    const ParameterRow* row = cache_.current().row(parameter);
    if (row == nullptr) {
        return "There is no parameter " + std::to_string(parameter) + " to write.";
    }
    const EncodedValue value =
        encodeValue(*row, row->definedValues, row->enumeration, text, byteOrder());
    if (!value) {
        return refusalMessage(*row, text, *value.refusal);
    }
    // A new login goes into the credential log once the units take it.
    const bool loginId = isLoginIdAddress(row->address);
    if ((loginId || isLoginPasswordAddress(row->address)) &&
        text.size() > CredentialLog::kMaxTokenLength) {
        return "Can't write the new " + std::string(loginId ? "login ID" : "password") +
               ": it is longer than the " + std::to_string(CredentialLog::kMaxTokenLength) +
               " characters the credential log keeps. Nothing was sent.";
    }
    return std::nullopt;
}

bool ParameterSession::validateMarkedValues() {
    ParameterTable& table = ports_.table;
    const DescriptionSlot& description = cache_.current();
    for (int line = 0; line < table.lineCount(); ++line) {
        const int p = table.parameterOfLine(line);
        const ParameterRow* row = description.row(p);
        if (row == nullptr) {
            break;
        }
        if (table.modifiedMark(p) != 1) {
            continue;
        }
        if (const auto refusal = writeRefusal(p, table.text(line, ParameterTable::ValueColumn))) {
            ports_.dialogs.showMessage(*refusal, kError);
            return false;
        }
    }
    return true;
}

void ParameterSession::writeParameters() {
    ParameterTable& table = ports_.table;
    table.commitPendingEdit();
    resumeIndex_ = 0;
    const auto units = startOperation();
    if (!units) {
        return;
    }
    if (!validateMarkedValues()) {
        return;
    }
    if (!ports_.dialogs.confirm(kSetConfirm, "You are to update parameter values !",
                                "               Do you want to continue ? ", "")) {
        return;
    }

    CredentialLog log(dataDirectory_);
    log.load();
    // Where the next pass starts: the least of the units' stopping points. Units whose
    // credentials differ in length fit different numbers of entries into a request; the one
    // that fitted the fewest decides, so that every unit gets every marked row (the others
    // are sent a few rows twice). -1 before the first unit.
    int passNext = -1;
    for (std::size_t i = 0; i < units->size(); ++i) {
        const DeviceRecord unit = (*units)[i];
        const int index = static_cast<int>(i);
        const auto credentials = credentialsFor(unit, log, false, "", nullptr);
        if (!credentials) {
            return;
        }
        assignTarget(index, unit, *credentials);

        FrameBuilder frame(kRequestBufferSize, byteOrder());
        if (!beginRequest(frame, index, unit, Command::WriteRequest)) {
            return;
        }
        const DescriptionSlot& description = cache_.current();
        const int first = table.firstParameterShown();
        const int lines = table.lineCount();
        const ByteOrder order = byteOrder();
        int unitNext = lines; // every marked row went into this request
        bool anyEntry = false;
        for (int r = 0; r < lines; ++r) {
            const int p = first + r;
            const ParameterRow* row = description.row(p);
            if (row == nullptr) {
                break;
            }
            if (table.modifiedMark(p) == 1) {
                const std::string text = table.text(r, ParameterTable::ValueColumn);
                const auto value =
                    encodeValue(*row, row->definedValues, row->enumeration, text, order);
                if (!value) {
                    // Checked before the confirmation; the table did not change since.
                    continue;
                }
                if (!frame.appendEntry(row->address, value.bytes)) {
                    if (!anyEntry) {
                        ports_.dialogs.showMessage("The value of " + row->parameterName +
                                                       " is too long to be sent. Nothing was "
                                                       "sent to " +
                                                       unit.mac + ".",
                                                   kError);
                        return;
                    }
                    // This row opens the next request.
                    unitNext = r;
                    break;
                }
                anyEntry = true;
                if (isLoginIdAddress(row->address)) {
                    loginChangePending_ = true;
                    newLoginId_[i] = text;
                } else if (isLoginPasswordAddress(row->address)) {
                    loginChangePending_ = true;
                    newLoginPassword_[i] = text;
                }
            }
            if (r + 1 < lines && frame.pastChunkThreshold()) {
                unitNext = r + 1;
                break;
            }
        }
        passNext = passNext < 0 ? unitNext : std::min(passNext, unitNext);
        resumeIndex_ = passNext >= lines ? 0 : passNext;
        if (frame.finishFrame() == 0) {
            reportRequestTooLong(unit);
            return;
        }
        if (send(index, unit, Command::WriteRequest, frame.frame()) == SendResult::Unreachable) {
            return;
        }
    }
    // Acknowledgements that came in while a prompt for a later unit was open count as well.
    writePassOpen_ = true;
    finishWritePassIfAcknowledged();
}

void ParameterSession::rebootUnits() {
    const auto units = startOperation();
    if (!units) {
        return;
    }
    if (!ports_.dialogs.confirm(kRebootConfirm, "You are to reboot the device(s) !",
                                "It makes device(s) sleep somewhile. ",
                                "Do you want to reboot device(s) now? ")) {
        return;
    }
    CredentialLog log(dataDirectory_);
    log.load();
    for (std::size_t i = 0; i < units->size(); ++i) {
        const DeviceRecord unit = (*units)[i];
        const int index = static_cast<int>(i);
        const auto credentials = credentialsFor(unit, log, false, "", nullptr);
        if (!credentials) {
            return;
        }
        assignTarget(index, unit, *credentials);

        FrameBuilder frame(kRebootBufferSize, byteOrder());
        if (!beginRequest(frame, index, unit, Command::RebootRequest)) {
            return;
        }
        if (!frame.appendBytes(kRebootBody) || frame.finishFrame() == 0) {
            reportRequestTooLong(unit);
            return;
        }
        if (send(index, unit, Command::RebootRequest, frame.frame()) == SendResult::Unreachable) {
            return;
        }
    }
}

bool ParameterSession::saveConfiguration(const std::string& path) {
    const std::vector<DeviceRecord> units = ports_.selection.selectedUnits();
    if (units.empty()) {
        ports_.dialogs.showMessage(kNoSelectedDevice, kError);
        return false;
    }
    const std::string productId = commonText(units, &DeviceRecord::productId);
    const std::string version = commonText(units, &DeviceRecord::version);
    if (productId == "ERROR" || version == "ERROR") {
        ports_.dialogs.showMessage(kOtherDevices, kError);
        return false;
    }
    productCode_ = productCodeOf(productId);

    // Every line to the real end of the list: hidden rows have an empty parameter text.
    const ParameterTable& table = ports_.table;
    std::vector<std::string> values;
    values.reserve(static_cast<std::size_t>(table.lineCount()));
    bool holdsLogin = false;
    for (int line = 0; line < table.lineCount(); ++line) {
        values.push_back(table.text(line, ParameterTable::ValueColumn));
        const ParameterRow* row = cache_.current().row(table.parameterOfLine(line));
        holdsLogin = holdsLogin || (row != nullptr && (isLoginIdAddress(row->address) ||
                                                       isLoginPasswordAddress(row->address)));
    }
    const std::string content = formatConfiguration(
        ConfigurationHeader{static_cast<int>(units.size()), productId, version}, values);
    // A file with the units' login is kept as private as "pwd.ini".
    IniDatabaseFile file(holdsLogin ? kPrivateFilePermissions : kSharedFilePermissions);
    file.setPath(path);
    if (!file.replaceContent(content)) {
        ports_.dialogs.showMessage(kFileOpenError, kError);
        return false;
    }
    return true;
}

bool ParameterSession::loadConfiguration(const std::string& path) {
    const auto text = readWholeFile(path);
    if (!text) {
        ports_.dialogs.showMessage(kFileOpenError, kError);
        return false;
    }
    const std::vector<DeviceRecord> units = ports_.selection.selectedUnits();
    if (units.empty()) {
        ports_.dialogs.showMessage(kNoSelectedDevice, kError);
        return false;
    }
    const std::string productId = commonText(units, &DeviceRecord::productId);
    const std::string version = commonText(units, &DeviceRecord::version);
    if (productId == "ERROR" || version == "ERROR") {
        ports_.dialogs.showMessage(kOtherDevices, kError);
        return false;
    }
    productCode_ = productCodeOf(productId);
    const ConfigurationContent content = parseConfiguration(*text);
    if (!content.header || content.header->productId != productId ||
        content.header->version != version) {
        ports_.dialogs.showMessage(kFileNotMatch, kError);
        return false;
    }
    applyConfiguration(content, ports_.table);
    return true;
}

void ParameterSession::clearCredentials() {
    CredentialLog log(dataDirectory_);
    if (!log.clear().saved()) {
        ports_.dialogs.showMessage(log.path() + " could not be emptied: the login IDs and "
                                                "passwords it holds are still on disk.",
                                   kError);
    }
    ParameterTable& table = ports_.table;
    for (int line = 0; line < table.lineCount(); ++line) {
        table.setText(line, ParameterTable::ValueColumn, {});
    }
}

} // namespace morvik
