#include "parameters/ParameterSession.h"

#include "config/ConfigurationFile.h"
#include "description/DescriptionParser.h"
#include "description/LoginParameters.h"
#include "description/ValueTypes.h"
#include "parameters/ClassFilter.h"
#include "parameters/DescriptionShown.h"
#include "parameters/ParameterTable.h"
#include "parameters/SessionInternal.h"
#include "protocol/MacAddress.h"
#include "protocol/ReadReplyBody.h"
#include "stores/CredentialLog.h"
#include "stores/IniDatabaseFile.h"
#include "stores/ProductIdDatabase.h"
#include "text/WholeFile.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <tuple>

namespace morvik {

using namespace internal;

namespace {

constexpr std::string_view kInvalidProductId = "Invalid product id!!";

constexpr std::string_view kSetConfirm = "Set Confirm";

// "%d.%d": both numbers, or zeros for what is missing.
std::pair<int, int> versionNumbers(const std::string& version) {
    int major = 0;
    int minor = 0;
    if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) < 1) {
        major = 0;
    }
    return {major, minor};
}

} // namespace

ParameterSession::ParameterSession(Ports ports, std::string dataDirectory, std::uint32_t seed)
    : ports_(ports), dataDirectory_(std::move(dataDirectory)), random_(seed) {}

std::optional<std::vector<DeviceRecord>> ParameterSession::takeSelection(bool continuing) {
    // A further pass goes on with the units its operation began with.
    std::vector<DeviceRecord> units =
        continuing ? operation_.units : ports_.selection.selectedUnits();
    if (units.size() > static_cast<std::size_t>(kMaxTargetUnits)) {
        ports_.dialogs.showMessage("Too many devices are selected: at most 700 can be handled "
                                   "at once. Nothing was sent.",
                                   kError);
        return std::nullopt;
    }
    // A new operation: replies to earlier requests no longer belong to anyone.
    targetCount_ = static_cast<int>(units.size());
    writeActive_ = false;
    writeOpen_ = false;
    writeRefused_ = false;
    for (TargetUnit& target : targets_) {
        target.writePartStart = 0;
        target.writeNextRow = 0;
        target.writeParts = 0;
        target.writeAcknowledged = false;
        target.writeStopped = false;
        target.earlierPassLive = nextPassOfGroup_ && target.requestSent;
        if (target.earlierPassLive) {
            target.earlierPassRequestId = target.requestId;
        }
        target.requestSent = false;
    }
    if (!continuing) {
        saveCollectedLogins();
        operation_ = Operation{};
        operation_.units = units;
        operationLog_.reset();
    }
    if (units.empty()) {
        ports_.dialogs.showMessage(kNoSelectedDevice, kError);
        return std::nullopt;
    }
    return units;
}

std::optional<std::vector<DeviceRecord>> ParameterSession::startOperation(bool continuing) {
    auto units = takeSelection(continuing);
    if (!units) {
        return std::nullopt;
    }
    if (!continuing) {
        operation_.check = checkUnits(*units);
    }
    if (!operation_.check.accepted) {
        ports_.dialogs.showMessage(kOtherDevices, kError);
        return std::nullopt;
    }
    productCode_ = productCodeOf(operation_.check.productId);
    return units;
}

CredentialLog& ParameterSession::operationLog() {
    if (!operationLog_) {
        operationLog_.emplace(dataDirectory_);
        if (loginRecording_ == LoginRecording::Off) {
            operationLog_->loadWithoutCreating();
        } else {
            operationLog_->load();
        }
    }
    return *operationLog_;
}

SelectionCheck ParameterSession::checkSelection() const {
    return checkUnits(ports_.selection.selectedUnits());
}

SelectionCheck ParameterSession::checkUnits(const std::vector<DeviceRecord>& units) {
    SelectionCheck check;
    if (units.empty()) {
        return check;
    }
    const auto productId = commonText(units, &DeviceRecord::productId);
    const auto version = commonText(units, &DeviceRecord::version);
    check.addressMode = units.front().addressMode;
    check.accepted = productId && version && commonText(units, &DeviceRecord::addressMode);
    check.productId = productId.value_or(std::string());
    check.version = version.value_or(std::string());
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

void ParameterSession::readParametersRequested(int group) {
    resumeIndex_ = 0;
    readParameters(group);
}

std::optional<std::vector<DeviceRecord>> ParameterSession::prepareRead(int& group) {
    // Taken at once: a dialog below may start another operation.
    const bool continuing = std::exchange(continuingOperation_, false);
    auto units = startOperation(continuing);
    if (!units) {
        return std::nullopt;
    }
    const SelectionCheck& check = operation_.check;
    if (operation_.descriptionPath.empty()) {
        ProductIdDatabase products(dataDirectory_);
        products.load();
        const int record = products.find(check.productId);
        if (record < 0) {
            ports_.dialogs.showMessage(kInvalidProductId, kError);
            return std::nullopt;
        }
        selectRecord(products, record, ports_.dialogs);
        operation_.descriptionPath =
            dataFilePath(dataDirectory_, products.currentName() + "_" + check.version + ".dcf");
    }
    const auto [major, minor] = versionNumbers(check.version);
    const std::string& fileName = operation_.descriptionPath;

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
    CredentialLog& log = operationLog();
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
    const auto credentials = [&](std::size_t i,
                                 const DeviceRecord& unit) -> std::optional<Credentials> {
        int logIndex = -1;
        const bool prompting = forcePrompt_ && i == promptedUnit;
        auto given = credentialsFor(unit, log, prompting, "[ " + unit.name + " ]", &logIndex);
        if (!given) {
            return std::nullopt;
        }
        // Entered by the user: a known unit's entry is replaced at once; an unknown unit
        // enters the log only when its reply shows the credentials work.
        if (logIndex >= 0 && prompting) {
            log.setEntry(upperCaseMacText(unit.mac), given->loginId, given->password, logIndex);
            saveCredentialLog(log);
        }
        if (i == promptedUnit) {
            forcePrompt_ = false;
            forcedPromptMac_.clear();
        }
        return given;
    };
    const auto body = [&](std::size_t, const DeviceRecord& unit, FrameBuilder& frame) {
        if (group == 0) {
            frame.appendBytes(kReadAllBody);
            return true;
        }
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
                    return false;
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
        return true;
    };
    sendToEachUnit(*units, Command::ReadRequest, kRequestBufferSize, credentials, body, kUnitPause);
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
    // Taken at once: a dialog below may start another operation.
    const bool continuing = std::exchange(continuingOperation_, false);
    table.commitPendingEdit();
    resumeIndex_ = 0;
    const auto units = startOperation(continuing);
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

    writeLines_ = table.lineCount();
    writeApprovedParts_ = 1;
    writeActive_ = true;
    const auto body = [&](std::size_t i, const DeviceRecord& unit, FrameBuilder& frame) {
        return appendWritePart(static_cast<int>(i), unit, frame);
    };
    if (!sendToEachUnit(*units, Command::WriteRequest, kRequestBufferSize, everyUnitFromTheLog(),
                        body, {})) {
        writeActive_ = false;
        return;
    }
    // Acknowledgements that came in while a prompt for a later unit was open count as well.
    writeOpen_ = true;
    for (int i = 0; i < targetCount_ && writeOpen_; ++i) {
        advanceWrite(i);
    }
    settleWrite();
}

void ParameterSession::rebootUnits() {
    const auto units = startOperation(false);
    if (!units) {
        return;
    }
    if (!ports_.dialogs.confirm(kRebootConfirm, "You are to reboot the device(s) !",
                                "It makes device(s) sleep somewhile. ",
                                "Do you want to reboot device(s) now? ")) {
        return;
    }
    const auto body = [&](std::size_t, const DeviceRecord& unit, FrameBuilder& frame) {
        if (!frame.appendBytes(kRebootBody)) {
            reportRequestTooLong(unit);
            return false;
        }
        return true;
    };
    sendToEachUnit(*units, Command::RebootRequest, kRebootBufferSize, everyUnitFromTheLog(), body,
                   {});
}

} // namespace morvik
