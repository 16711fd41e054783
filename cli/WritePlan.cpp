#include "cli/WritePlan.h"

#include "description/ValueComparison.h"

namespace morvik::cli {

std::vector<Difference> differencesOf(const DescriptionSlot& description, const ReadOutcome& read,
                                      const std::vector<PlannedValue>& wanted) {
    std::vector<Difference> differences;
    for (const PlannedValue& value : wanted) {
        const ParameterRow* row = description.row(value.parameter);
        const std::string* readText = read.valueOf(value.parameter);
        std::string held = readText != nullptr ? *readText : std::string();
        if (row != nullptr && sameValue(*row, held, value.text)) {
            continue;
        }
        differences.push_back({value.parameter, row != nullptr ? row->address : std::string(),
                               row != nullptr ? row->parameterName : std::string(), std::move(held),
                               value.text});
    }
    return differences;
}

std::vector<UnitDifferences> planDifferences(const WritePlan& plan,
                                             const DescriptionSlot& description) {
    std::vector<UnitDifferences> units;
    for (const UnitOutcome& outcome : plan.outcomes) {
        UnitDifferences unit{outcome.unit, outcome.result, {}};
        for (std::size_t i = 0; i < plan.answered.size() && i < plan.plans.size(); ++i) {
            if (plan.answered[i].mac != outcome.unit.mac) {
                continue;
            }
            unit.result = UnitResult::Ok;
            std::vector<Difference> found =
                differencesOf(description, plan.answeredReads[i], plan.plans[i]);
            unit.differences.insert(unit.differences.end(), std::make_move_iterator(found.begin()),
                                    std::make_move_iterator(found.end()));
        }
        units.push_back(std::move(unit));
    }
    return units;
}

} // namespace morvik::cli
