#pragma once

#include "cli/Probe.h"
#include "cli/SessionDriver.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace morvik::cli {

// What the commands print: one JSON document (--json) or plain, aligned tables. The JSON
// shapes are a contract with the programs that drive the tool; keep them stable.

// Members keep the order they were written in. Texts go in as the tool holds them (bytes from
// units and files, one character each) and become UTF-8 only in jsonDocument.
using Json = nlohmann::ordered_json;

struct UnitRead {
    DeviceRecord unit;
    ReadOutcome outcome;
    UnitResult result = UnitResult::NoAnswer;
};

// A writable row whose value would change: the unit's text and the one to be written.
struct Difference {
    int index = 0;
    std::string address;
    std::string parameter;
    std::string unitValue;
    std::string newValue;
};

struct UnitDifferences {
    DeviceRecord unit;
    UnitResult result = UnitResult::NoAnswer; // of reading the unit
    std::vector<Difference> differences;
};

struct UnitOutcome {
    DeviceRecord unit;
    UnitResult result = UnitResult::NoAnswer;
    std::optional<UnitResult> reboot; // only when --reboot asked for one
};

// [{"name","ip","mac","productId","version","addressMode","checksumOk"}]
Json probeJson(const std::vector<ProbedUnit>& units);
std::string probeTable(const std::vector<ProbedUnit>& units);

// [{"mac","ip","result","parameters":[{"index","address","class","parameter","access","value"}]}]
Json readJson(const std::vector<UnitRead>& reads);
// The same document written unit by unit, so that a large fleet's read is never held whole.
void writeReadJson(std::ostream& out, const std::vector<UnitRead>& reads);
std::string readTables(const std::vector<UnitRead>& reads);

// [{"mac","ip","result"}], plus "reboot" when a reboot was asked for.
Json resultsJson(const std::vector<UnitOutcome>& outcomes);
std::string resultsTable(const std::vector<UnitOutcome>& outcomes);

// [{"mac","ip","result","differences":[{"index","address","parameter","unit","file"}]}]:
// "file" is the text that would be written (of the file, or of the set command).
Json differencesJson(const std::vector<UnitDifferences>& units);
std::string differencesTables(const std::vector<UnitDifferences>& units);

// The document as printed: indented, every text and key converted to UTF-8, so that it is
// valid whatever bytes a unit sent.
std::string jsonDocument(const Json& document);

// {"error": "..."}: the document of a run that failed before its operation, with the reasons
// given on standard error.
Json failureJson(const std::vector<std::string>& problems);

// Columns padded to their widest cell, two blanks apart; the last column is not padded.
// Control characters in cells are shown escaped (escapeControlCharacters).
std::string formatTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows);

} // namespace morvik::cli
