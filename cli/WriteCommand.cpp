#include "cli/Backups.h"
#include "cli/CommandRun.h"
#include "cli/LikeUnits.h"
#include "cli/UnitLabel.h"
#include "description/LoginParameters.h"

#include <algorithm>
#include <set>
#include <utility>

// Writing units: set, load and diff, from the plan of what each unit is to be written.

namespace morvik::cli {

namespace {

// The desktop program's words for a configuration file of another product or version.
constexpr std::string_view kFileNotMatch = "Saved file not match. Wrong product id & version.";

} // namespace

int CommandRun::setCommand() {
    // An address names one parameter only within one product and version; units of one
    // kind reached in different ways (address modes) are written group by group. A
    // selection of several products is refused by the session, which says so.
    if (selection_.empty()) {
        return refused({}, selection_);
    }
    const std::vector<DeviceRecord> firstKind =
        unitsAt(selection_, groupsOfLikeUnits(selection_).front());
    const bool oneProduct =
        std::all_of(selection_.begin(), selection_.end(),
                    [&](const DeviceRecord& unit) { return sameProduct(unit, firstKind.front()); });
    if (!driver_->prepare(oneProduct ? firstKind : selection_)) {
        return refused(pendingOutcomes(selection_), selection_);
    }
    std::vector<Assignment> assignments = options_.assignments;
    if (const auto problem = addNewLogin(assignments)) {
        return usage(*problem);
    }
    std::vector<PlannedValue> plan;
    std::set<int> assigned;
    for (const Assignment& assignment : assignments) {
        const auto check = driver_->checkAssignment(assignment.address, assignment.text);
        if (check.parameter < 0) {
            return usage(check.problem);
        }
        if (!assigned.insert(check.parameter).second) {
            return usage(assignment.address + " is assigned twice");
        }
        plan.push_back({check.parameter, assignment.text});
    }
    if (!options_.dryRun && !options_.backup) {
        return writeAndReport(selection_, plan, pendingOutcomes(selection_));
    }
    // What the units hold is needed to show or keep it.
    WritePlan readPlan = readForPlan();
    readPlan.plans.assign(readPlan.answered.size(), plan);
    if (readPlan.answered.empty()) {
        return reportPlanFailure(readPlan);
    }
    return writePlans(readPlan);
}

// The new login of the login file, as values of the prepared description's login rows;
// the problem when it has none.
std::optional<std::string> CommandRun::addNewLogin(std::vector<Assignment>& assignments) const {
    const DescriptionSlot& description = driver_->session().currentDescription();
    const auto add = [&](const std::optional<std::string>& text, bool (*isRow)(std::string_view),
                         const char* what) -> std::optional<std::string> {
        if (!text) {
            return std::nullopt;
        }
        for (int i = 0; i < description.rowCount(); ++i) {
            if (isRow(description.row(i)->address)) {
                assignments.push_back({description.row(i)->address, *text});
                return std::nullopt;
            }
        }
        return std::string("the units' description has no ") + what + " to set";
    };
    if (auto problem = add(options_.newLoginId, &isLoginIdAddress, "login ID (2.x.1)")) {
        return problem;
    }
    return add(options_.newLoginPassword, &isLoginPasswordAddress, "password (2.x.2)");
}

// The write, then the reboot offer: accepted with --reboot for the units that took it.
int CommandRun::writeAndReport(const std::vector<DeviceRecord>& units,
                               const std::vector<PlannedValue>& plan,
                               std::vector<UnitOutcome> outcomes) {
    std::vector<DeviceRecord> written;
    writeUnits(units, plan, outcomes, written);
    return rebootAndReport(written, std::move(outcomes));
}

// Writes `plan` to `units`; their outcomes take the results, and the units that took the
// write are added to `written`.
void CommandRun::writeUnits(const std::vector<DeviceRecord>& units,
                            const std::vector<PlannedValue>& plan,
                            std::vector<UnitOutcome>& outcomes,
                            std::vector<DeviceRecord>& written) {
    // Units reached in different ways share no request: one write for each kind.
    for (const auto& group : groupsOfLikeUnits(units)) {
        const auto members = unitsAt(units, group);
        const std::vector<UnitResult> results = driver_->write(members, plan);
        for (std::size_t i = 0; i < members.size(); ++i) {
            for (UnitOutcome& outcome : outcomes) {
                if (outcome.unit.mac == members[i].mac) {
                    outcome.result = results[i];
                }
            }
            if (results[i] == UnitResult::Ok) {
                written.push_back(members[i]);
            }
        }
    }
}

// Writes each unit its plan: units that differ from the plan in the same way share one
// write.
int CommandRun::writePlans(WritePlan& plan) {
    if (options_.dryRun) {
        return reportDifferences(plan);
    }
    if (options_.backup && !writeBackups(*driver_, dialogs_, *options_.backup, plan)) {
        for (UnitOutcome& outcome : plan.outcomes) {
            if (outcome.result == UnitResult::NoAnswer) {
                outcome.result = UnitResult::Error;
            }
        }
        return reportResults(plan.outcomes);
    }
    std::vector<DeviceRecord> written;
    std::vector<bool> done(plan.answered.size(), false);
    bool anyWrite = false;
    for (std::size_t i = 0; i < plan.answered.size(); ++i) {
        if (done[i]) {
            continue;
        }
        const std::vector<PlannedValue>& unitPlan = plan.plans[i];
        std::vector<DeviceRecord> alike;
        for (std::size_t j = i; j < plan.answered.size(); ++j) {
            if (!done[j] && plan.plans[j] == unitPlan) {
                done[j] = true;
                alike.push_back(plan.answered[j]);
            }
        }
        if (unitPlan.empty()) {
            for (UnitOutcome& outcome : plan.outcomes) {
                if (std::any_of(alike.begin(), alike.end(), [&](const DeviceRecord& unit) {
                        return unit.mac == outcome.unit.mac;
                    })) {
                    outcome.result = UnitResult::Ok;
                }
            }
            continue;
        }
        anyWrite = true;
        writeUnits(alike, unitPlan, plan.outcomes, written);
    }
    if (!anyWrite && options_.command == CommandKind::Load) {
        dialogs_.note("every R/W value of " + options_.file +
                      " equals the units' own: nothing to write");
    }
    return rebootAndReport(written, std::move(plan.outcomes));
}

int CommandRun::loadCommand() {
    // The file's values are compared with the units' own: read them first.
    WritePlan plan = readForPlan(notForTheFile_);
    if (const auto status = planFromFile(plan)) {
        return *status;
    }
    return writePlans(plan);
}

int CommandRun::diffCommand() {
    WritePlan plan = readForPlan(notForTheFile_);
    if (const auto status = planFromFile(plan)) {
        return *status;
    }
    return reportDifferences(plan);
}

// Units of another product or version than the configuration file's, each named in a
// note: a site's file goes to the units it is for.
std::vector<bool> CommandRun::unitsTheFileIsNotFor() {
    std::vector<bool> leftOut(selection_.size(), false);
    const ConfigurationHeader* header = &*fileHeader_;
    bool anyNamedLeftOut = false;
    for (std::size_t i = 0; i < selection_.size(); ++i) {
        const DeviceRecord& unit = selection_[i];
        if (unit.productId == header->productId && unit.version == header->version) {
            continue;
        }
        if (!selectsAll_ && !std::exchange(anyNamedLeftOut, true)) {
            dialogs_.showMessage(kFileNotMatch, "Error");
        }
        leftOut[i] = true;
        dialogs_.note(options_.file + " is for product " + header->productId + " version " +
                      header->version + ": " + unitLabel(unit) + " (product " + unit.productId +
                      " version " + unit.version + ") is left out");
    }
    if (std::all_of(leftOut.begin(), leftOut.end(), [](bool out) { return out; })) {
        dialogs_.note("none of the units is of product " + header->productId + " version " +
                      header->version + ": nothing to compare");
    }
    return leftOut;
}

// The file put into each group of like units that answered; nothing when it was refused.
// The units share the file's product and version, so the plans name the parameters of
// one description, the one prepared last.
std::optional<std::vector<std::vector<PlannedValue>>>
CommandRun::planEachKind(const WritePlan& plan) {
    std::vector<std::vector<PlannedValue>> plans(plan.answered.size());
    for (const auto& group : groupsOfLikeUnits(plan.answered)) {
        const std::vector<DeviceRecord> units = unitsAt(plan.answered, group);
        std::vector<ReadOutcome> reads;
        for (const int index : group) {
            reads.push_back(plan.answeredReads[static_cast<std::size_t>(index)]);
        }
        // The list laid out for these units' description, as the read left it for them.
        if (!driver_->prepare(units)) {
            return std::nullopt;
        }
        auto groupPlans = driver_->loadConfiguration(units, reads, options_.file);
        if (!groupPlans) {
            return std::nullopt;
        }
        for (std::size_t i = 0; i < group.size(); ++i) {
            plans[static_cast<std::size_t>(group[i])] = std::move((*groupPlans)[i]);
        }
    }
    return plans;
}

// The file compared with each unit's own values, by the rules of the load command, less
// the --skip rows. A status when the run ends here.
std::optional<int> CommandRun::planFromFile(WritePlan& plan) {
    if (plan.answered.empty()) {
        return reportPlanFailure(plan);
    }
    auto plans = planEachKind(plan);
    if (!plans) {
        dialogs_.note("the configuration file " + options_.file +
                      " was not taken: it changed or went while the units were read");
        for (UnitOutcome& outcome : plan.outcomes) {
            if (outcome.result == UnitResult::NoAnswer) {
                outcome.result = UnitResult::Error;
            }
        }
        plan.answered.clear();
        return reportPlanFailure(plan);
    }
    std::set<int> skipped;
    for (const std::string& address : options_.skip) {
        const int parameter = driver_->session().findParameter(address);
        if (parameter < 0) {
            return usage("--skip " + address + ": the description has no parameter there");
        }
        skipped.insert(parameter);
    }
    for (std::vector<PlannedValue>& unitPlan : *plans) {
        std::erase_if(unitPlan,
                      [&](const PlannedValue& value) { return skipped.contains(value.parameter); });
    }
    // A value of the file that is no value of its parameter: nothing is written to any unit.
    for (const std::vector<PlannedValue>& unitPlan : *plans) {
        for (const PlannedValue& value : unitPlan) {
            const auto check = driver_->checkValue(value.parameter, value.text);
            if (check.parameter < 0) {
                return usage(options_.file + ": " + check.problem);
            }
        }
    }
    plan.plans = std::move(*plans);
    return std::nullopt;
}

} // namespace morvik::cli
