#pragma once

#include "protocol/DeviceRecord.h"

#include <map>
#include <string>
#include <vector>

namespace morvik::cli {

// How a UNIT word of the command line names a unit. A word that reads as a MAC (six hex
// pairs joined by ":" or "-", either case) is a MAC, else a dotted IPv4 address is an IP,
// else it is a device name; "all" names every unit that answered.
struct UnitSpec {
    enum class Kind { Mac, Ip, Name, All };
    Kind kind = Kind::Name;
    std::string text;       // as typed
    std::string normalized; // MAC: upper case with ":"; IP: canonical dotted; name: as typed

    friend bool operator==(const UnitSpec&, const UnitSpec&) = default;
};

UnitSpec parseUnitSpec(const std::string& word);
std::vector<UnitSpec> parseUnitSpecs(const std::vector<std::string>& words);

bool matches(const UnitSpec& spec, const DeviceRecord& unit);

// The unit a command line word names, as far as the word tells: its MAC, its IP or its name,
// for reporting a unit that did not answer.
DeviceRecord unitNamedBy(const UnitSpec& spec);

// True when the probe may end before its window with `units` listed: every spec is a MAC
// and has answered. A unit is listed once per MAC, so no later reply can change what a MAC
// names; a name or an IP may be carried by a unit still to answer, which makes the word
// ambiguous, and `all` takes every unit: they wait for the whole window.
bool everySpecAnswered(const std::vector<UnitSpec>& specs, const std::vector<DeviceRecord>& units);

// everySpecAnswered for units taken one at a time while a probe burst comes in: each unit is
// looked at once, so naming many units of a large fleet does not slow down the replies.
class SpecAnswers {
public:
    explicit SpecAnswers(std::vector<UnitSpec> specs);
    // Takes one more unit that answered; true once the probe may end.
    bool take(const DeviceRecord& unit);
    bool everyAnswered() const { return unanswered_ == 0 && onlyMacs_; }

private:
    std::vector<UnitSpec> specs_;
    std::map<std::string, std::size_t> awaited_; // MACs not yet answered, and how often typed
    std::size_t unanswered_ = 0;
    bool onlyMacs_ = true;
};

struct UnitMatch {
    std::vector<int> selected;          // indices into the probed units, command line order
    std::vector<std::string> unknown;   // words that named no unit
    std::vector<std::string> ambiguous; // words that named several units
};

// The selection for the specs: each spec's unit in command line order (a unit named twice is
// selected once, at its first place); `all` selects every unit in order of arrival.
UnitMatch matchUnits(const std::vector<UnitSpec>& specs, const std::vector<DeviceRecord>& units);

} // namespace morvik::cli
