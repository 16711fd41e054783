#include "cli/CommandRun.h"

// A write plan shown instead of written: diff, dry runs, and plans that went no further.

namespace morvik::cli {

// Diff and dry run end with the differences document, write commands with their results.
int CommandRun::reportPlanFailure(const WritePlan& plan) {
    if (options_.command == CommandKind::Diff || options_.dryRun) {
        return reportDifferences(plan);
    }
    return reportResults(plan.outcomes);
}

int CommandRun::reportDifferences(const WritePlan& plan) {
    std::vector<UnitDifferences> units =
        planDifferences(plan, driver_->session().currentDescription());
    bool allRead = true;
    bool anyDifference = false;
    for (const UnitDifferences& unit : units) {
        allRead = allRead && isFine(unit.result);
        anyDifference = anyDifference || !unit.differences.empty();
    }
    for (const DeviceRecord& unit : missing_) {
        units.push_back({unit, UnitResult::NoAnswer, {}});
        allRead = false;
    }
    if (options_.json) {
        printDocument(differencesJson(units));
    } else {
        out_ << differencesTables(units);
    }
    if (options_.dryRun) {
        dialogs_.note("dry run: nothing was written");
    }
    if (!allRead) {
        return finalStatus(false);
    }
    const int status = finalStatus(true);
    if (status == kExitSuccess && options_.command == CommandKind::Diff && anyDifference) {
        return kExitUnitFailed;
    }
    return status;
}

} // namespace morvik::cli
