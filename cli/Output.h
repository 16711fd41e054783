#pragma once

#include "cli/Probe.h"
#include "cli/SessionDriver.h"

#include "json/Json.h"
#include <optional>
#include <string>
#include <vector>

namespace morvik::cli {

// What the commands print: one JSON document (--json) or plain, aligned tables. The JSON
// shapes are a contract with the programs that drive the tool; keep them stable.

struct UnitRead {
    DeviceRecord unit;
    ReadOutcome outcome;
};

struct UnitOutcome {
    DeviceRecord unit;
    UnitResult result = UnitResult::NoAnswer;
    std::optional<UnitResult> reboot; // only when --reboot asked for one
};

// [{"name","ip","mac","productId","version","addressMode","checksumOk"}]
json::Value probeJson(const std::vector<ProbedUnit>& units);
std::string probeTable(const std::vector<ProbedUnit>& units);

// [{"mac","ip","parameters":[{"index","address","class","parameter","access","value"}]}]
json::Value readJson(const std::vector<UnitRead>& reads);
std::string readTables(const std::vector<UnitRead>& reads);

// [{"mac","ip","result"}], plus "reboot" when a reboot was asked for.
json::Value resultsJson(const std::vector<UnitOutcome>& outcomes);
std::string resultsTable(const std::vector<UnitOutcome>& outcomes);

// {"error": "..."}: the document of a run that failed before its operation, with the reasons
// given on standard error. Bytes that are not UTF-8 are taken as Latin-1 characters.
json::Value failureJson(const std::vector<std::string>& problems);

// Columns padded to their widest cell, two blanks apart; the last column is not padded.
std::string formatTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows);

} // namespace morvik::cli
