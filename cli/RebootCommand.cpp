#include "cli/CommandRun.h"
#include "cli/LikeUnits.h"

// Rebooting units: the reboot command, and the reboot after a write.

namespace morvik::cli {

int CommandRun::rebootCommand() {
    std::vector<UnitOutcome> outcomes = pendingOutcomes(selection_);
    rebootLikeUnits(selection_, outcomes, false);
    return reportResults(outcomes);
}

int CommandRun::rebootAndReport(const std::vector<DeviceRecord>& written,
                                std::vector<UnitOutcome> outcomes) {
    if (options_.reboot && !written.empty()) {
        rebootLikeUnits(written, outcomes, true);
    } else if (!written.empty() && !options_.json) {
        dialogs_.note("reboot the written units to apply the changes (--reboot, or the "
                      "reboot command)");
    }
    return reportResults(outcomes);
}

void CommandRun::rebootLikeUnits(const std::vector<DeviceRecord>& units,
                                 std::vector<UnitOutcome>& outcomes, bool afterWrite) {
    for (const auto& group : groupsOfLikeUnits(units)) {
        const auto members = unitsAt(units, group);
        const std::vector<UnitResult> results = driver_->reboot(members);
        for (std::size_t i = 0; i < members.size(); ++i) {
            for (UnitOutcome& outcome : outcomes) {
                if (outcome.unit.mac != members[i].mac) {
                    continue;
                }
                if (afterWrite) {
                    outcome.reboot = results[i];
                } else {
                    outcome.result = results[i];
                }
            }
        }
    }
}

} // namespace morvik::cli
