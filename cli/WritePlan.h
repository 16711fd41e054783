#pragma once

#include "cli/Output.h"
#include "cli/SessionDriver.h"
#include "description/DeviceDescription.h"
#include "protocol/DeviceRecord.h"

#include <vector>

namespace morvik::cli {

// The selection read, and for each unit that answered what is to be written to it.
struct WritePlan {
    std::vector<UnitOutcome> outcomes;      // every selected unit, pending or failed
    std::vector<DeviceRecord> answered;     // the units read completely
    std::vector<ReadOutcome> answeredReads; // their values
    std::vector<std::vector<PlannedValue>> plans;
};

// The values of `wanted` that would change what a unit holds (`read`), with the rows of
// `description` they are written to. A set names values whatever the units hold: only the
// ones it changes are differences.
std::vector<Difference> differencesOf(const DescriptionSlot& description, const ReadOutcome& read,
                                      const std::vector<PlannedValue>& wanted);

// Every unit of the plan with its result and differences: a unit that answered is Ok, the
// others keep the result of their read.
std::vector<UnitDifferences> planDifferences(const WritePlan& plan,
                                             const DescriptionSlot& description);

} // namespace morvik::cli
