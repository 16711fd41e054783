#include "cli/SessionDriver.h"
#include "cli/UnitLabel.h"
#include "description/ValueTypes.h"

#include <algorithm>
#include <cctype>

// The operations the commands ask of the session: prepare, read, write, reboot, and the
// configuration files.

namespace morvik::cli {

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

bool SessionDriver::prepare(const std::vector<DeviceRecord>& units) {
    begin(Phase::Idle, units);
    return session_->prepareDescription();
}

const std::vector<std::string>& SessionDriver::groupNames() const {
    return classFilter_.entries();
}

int SessionDriver::findGroup(const std::string& name) const {
    const std::vector<std::string>& names = classFilter_.entries();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) {
            return static_cast<int>(i);
        }
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (sameIgnoringCase(names[i], name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const std::string* ReadOutcome::valueOf(int index) const {
    if (!headings) {
        return nullptr;
    }
    const auto end = headings->begin() + static_cast<std::ptrdiff_t>(parameterCount());
    const auto found = std::lower_bound(
        headings->begin(), end, index,
        [](const ParameterHeading& heading, int wanted) { return heading.index < wanted; });
    if (found == end || found->index != index) {
        return nullptr;
    }
    return &values[static_cast<std::size_t>(found - headings->begin())];
}

std::vector<ReadOutcome> SessionDriver::read(const std::vector<DeviceRecord>& units,
                                             std::optional<int> group) {
    begin(Phase::Read, units);
    // The description is parsed first, without sending: one that gives no parameter at all
    // would only make every unit look silent.
    if (!session_->prepareDescription()) {
        // The session has said why; nothing was sent.
    } else if (session_->currentDescription().rowCount() == 0) {
        const DeviceRecord& first = units.front();
        dialogs_.note("the description of product " + first.productId + " version " +
                      first.version + " has no parameters: nothing was sent");
    } else if (group && *group > 0) {
        const DescriptionSlot& description = session_->currentDescription();
        if (description.hasGroup(*group)) {
            expectReadReplies();
            session_->showGroup(*group);
            const auto [first, end] = description.groupRows(*group);
            requestRange(first, end);
        }
    } else {
        expectReadReplies();
        session_->readParametersRequested(0);
        requestRange(0, session_->currentDescription().rowCount());
    }
    awaitReplies();

    const DescriptionSlot& description = session_->currentDescription();
    auto headings = std::make_shared<std::vector<ParameterHeading>>();
    for (int p = 0; p < kMaxParameterRows; ++p) {
        const ParameterRow* row = description.row(p);
        if (row == nullptr) {
            break;
        }
        if (requested_[static_cast<std::size_t>(p)]) {
            headings->push_back({p, row->address, row->className, row->parameterName, row->access});
        }
    }
    std::vector<ReadOutcome> outcomes(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        ReadOutcome& outcome = outcomes[i];
        Progress& progress = progress_[i];
        outcome.complete = progress.finished && progress.result == UnitResult::Ok;
        outcome.refused = progress.refused && !outcome.complete;
        outcome.checksumError = progress.checksumFailed && !outcome.complete;
        outcome.sent = progress.sent;
        if (!outcome.sent) {
            continue; // stopped before its request: no description to speak of
        }
        outcome.headings = headings;
        outcome.values.resize(headings->size());
        for (std::size_t h = 0; h < headings->size(); ++h) {
            const auto p = static_cast<std::size_t>((*headings)[h].index);
            // A hidden parameter's cell is never filled.
            if (description.row(static_cast<int>(p))->accessKind != AccessKind::Hidden &&
                p < progress.values.size() && progress.values[p]) {
                outcome.values[h] = std::move(*progress.values[p]);
            }
        }
    }
    phase_ = Phase::Idle;
    return outcomes;
}

SessionDriver::AssignmentCheck SessionDriver::checkAssignment(const std::string& address,
                                                              const std::string& text) const {
    const int parameter = session_->findParameter(address);
    if (parameter < 0) {
        return {-1, "the description has no parameter at address " + address};
    }
    return checkValue(parameter, text);
}

SessionDriver::AssignmentCheck SessionDriver::checkValue(int parameter,
                                                         const std::string& text) const {
    const ParameterRow* row = session_->currentDescription().row(parameter);
    if (row == nullptr) {
        return {-1, "the description has no parameter " + std::to_string(parameter)};
    }
    const std::string& address = row->address;
    // Only what the desktop program lets a user change: R/W values, and the choices of an
    // enumerated parameter of no declared access.
    const AccessKind access = row->accessKind;
    const bool changeable = access == AccessKind::ReadWrite ||
                            (access == AccessKind::Plain && row->enumeration.count() > 0);
    if (!changeable) {
        return {-1, address + " (" + row->parameterName + ") is " +
                        (row->access.empty() ? std::string("not writable") : row->access) +
                        ": only values that the desktop program lets a user change can be set"};
    }
    const EncodedValue value =
        encodeValue(*row, row->definedValues, row->enumeration, text, session_->byteOrder());
    if (!value) {
        // A login is never repeated: the message may go where others read it (a job's log).
        const std::string shown = isLoginAddress(address) ? "the new login" : "\"" + text + "\"";
        std::string problem = shown + " is not a value of " + address + " (" + row->parameterName +
                              ", " + row->typeName + "): " + refusalReason(*row, *value.refusal);
        const ValueList& names =
            row->enumeration.count() > 0 ? row->enumeration.get() : row->definedValues.get();
        if (names.count() > 0) {
            problem += "; known values:";
            for (const ValueList::Entry& entry : names.entries()) {
                problem += " \"" + entry.name + "\"";
            }
        }
        return {-1, problem + "; nothing was sent"};
    }
    if (auto refusal = session_->writeRefusal(parameter, text)) {
        return {-1, std::move(*refusal)};
    }
    return {parameter, {}};
}

std::vector<UnitResult> SessionDriver::writeOnce(const std::vector<DeviceRecord>& units,
                                                 const std::vector<PlannedValue>& plan) {
    begin(Phase::Write, units);
    if (session_->prepareDescription()) {
        for (const PlannedValue& value : plan) {
            session_->setValueText(value.parameter, value.text);
            table_->setModifiedMark(value.parameter, 1);
        }
        session_->writeParameters();
        awaitReplies();
    }
    phase_ = Phase::Idle;
    return results();
}

bool SessionDriver::readBackAfterLoginChange(const DeviceRecord& unit) {
    begin(Phase::FollowUp, {unit});
    session_->readParametersRequested(0);
    requestRange(0, session_->currentDescription().rowCount());
    awaitReplies();
    const bool complete = progress_.front().finished && progress_.front().result == UnitResult::Ok;
    phase_ = Phase::Idle;
    if (!complete) {
        dialogs_.note("could not read " + unitLabel(unit) +
                      " back after its login change; pwd.ini may still hold the old login");
    }
    return complete;
}

std::vector<UnitResult> SessionDriver::write(const std::vector<DeviceRecord>& units,
                                             const std::vector<PlannedValue>& plan) {
    const DescriptionSlot& description = session_->currentDescription();
    const bool changesLogin = std::any_of(plan.begin(), plan.end(), [&](const PlannedValue& value) {
        const ParameterRow* row = description.row(value.parameter);
        return row != nullptr && isLoginAddress(row->address);
    });
    writeRepeatable_ = !changesLogin;
    if (!changesLogin) {
        return writeOnce(units, plan);
    }
    std::vector<UnitResult> results;
    for (const DeviceRecord& unit : units) {
        const UnitResult result = writeOnce({unit}, plan).front();
        if (result == UnitResult::Ok && !readBackAfterLoginChange(unit)) {
            loginReadBackFailed_ = true;
        }
        results.push_back(result);
    }
    return results;
}

std::vector<UnitResult> SessionDriver::reboot(const std::vector<DeviceRecord>& units) {
    begin(Phase::Reboot, units);
    session_->rebootUnits();
    awaitReplies();
    phase_ = Phase::Idle;
    return results();
}

std::optional<std::vector<std::vector<PlannedValue>>>
SessionDriver::loadConfiguration(const std::vector<DeviceRecord>& units,
                                 const std::vector<ReadOutcome>& reads, const std::string& path) {
    selection_ = units;
    std::vector<std::vector<PlannedValue>> plans;
    for (std::size_t unit = 0; unit < units.size() && unit < reads.size(); ++unit) {
        // The list as this unit alone would show it: with several units the cells hold only
        // the values they agree on, and the first unit's where the others have not answered.
        for (int line = 0; line < table_->lineCount(); ++line) {
            table_->setModifiedMark(table_->parameterOfLine(line), 0);
            table_->setText(line, ParameterTable::ValueColumn, {});
        }
        showValues(reads[unit]);
        if (!session_->loadConfiguration(path)) {
            return std::nullopt;
        }
        std::vector<PlannedValue> plan;
        for (int line = 0; line < table_->lineCount(); ++line) {
            const int parameter = table_->parameterOfLine(line);
            if (table_->modifiedMark(parameter) == 1) {
                plan.push_back({parameter, table_->text(line, ParameterTable::ValueColumn)});
            }
        }
        plans.push_back(std::move(plan));
    }
    return plans;
}

void SessionDriver::showValues(const ReadOutcome& read) {
    for (std::size_t i = 0; i < read.parameterCount(); ++i) {
        session_->setValueText(read.heading(i).index, read.values[i]);
    }
}

bool SessionDriver::saveUnitValues(const DeviceRecord& unit, const ReadOutcome& read,
                                   const std::string& path) {
    selection_ = {unit};
    for (int line = 0; line < table_->lineCount(); ++line) {
        table_->setText(line, ParameterTable::ValueColumn, {});
    }
    showValues(read);
    return session_->saveConfiguration(path);
}

FileWrite SessionDriver::backupUnitValues(const DeviceRecord& unit, const ReadOutcome& read,
                                          const std::string& folder, const std::string& stem) {
    selection_ = {unit};
    for (int line = 0; line < table_->lineCount(); ++line) {
        table_->setText(line, ParameterTable::ValueColumn, {});
    }
    showValues(read);
    return session_->saveBackup(folder, stem);
}

bool SessionDriver::saveConfiguration(const std::vector<DeviceRecord>& units,
                                      const std::string& path) {
    selection_ = units;
    return session_->saveConfiguration(path);
}

} // namespace morvik::cli
