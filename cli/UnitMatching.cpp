#include "cli/UnitMatching.h"

#include "protocol/Latin1Text.h"
#include "protocol/MacAddress.h"
#include "text/Ipv4Text.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <map>

namespace morvik::cli {

namespace {

std::optional<std::string> canonicalAddress(const std::string& text) {
    const auto address = parseIpv4(text);
    if (!address) {
        return std::nullopt;
    }
    in_addr parsed{};
    parsed.s_addr = *address;
    std::array<char, INET_ADDRSTRLEN> canonical{};
    inet_ntop(AF_INET, &parsed, canonical.data(), canonical.size());
    return std::string(canonical.data());
}

} // namespace

UnitSpec parseUnitSpec(const std::string& word) {
    if (word == "all") {
        return {UnitSpec::Kind::All, word, word};
    }
    if (const auto mac = parseMacText(word)) {
        return {UnitSpec::Kind::Mac, word, formatMacText(*mac)};
    }
    if (const auto address = canonicalAddress(word)) {
        return {UnitSpec::Kind::Ip, word, *address};
    }
    return {UnitSpec::Kind::Name, word, word};
}

std::vector<UnitSpec> parseUnitSpecs(const std::vector<std::string>& words) {
    std::vector<UnitSpec> specs;
    specs.reserve(words.size());
    for (const std::string& word : words) {
        specs.push_back(parseUnitSpec(word));
    }
    return specs;
}

bool matches(const UnitSpec& spec, const DeviceRecord& unit) {
    switch (spec.kind) {
    case UnitSpec::Kind::All:
        return true;
    case UnitSpec::Kind::Mac:
        // The device list holds MACs in upper case with ":"; compare in that form anyway, so a
        // unit listed some other way still matches.
        return upperCaseMacText(unit.mac) == spec.normalized;
    case UnitSpec::Kind::Ip:
        return unit.ip == spec.normalized;
    case UnitSpec::Kind::Name: {
        if (unit.name == spec.normalized) {
            return true;
        }
        // Units send their names as Latin-1 bytes, and --json prints them as UTF-8: a name
        // copied from there names the unit too.
        const auto latin1 = utf8ToLatin1(spec.normalized);
        return latin1 && *latin1 == unit.name;
    }
    }
    return false;
}

bool everySpecAnswered(const std::vector<UnitSpec>& specs, const std::vector<DeviceRecord>& units) {
    SpecAnswers answers(specs);
    for (const DeviceRecord& unit : units) {
        answers.take(unit);
    }
    return answers.everyAnswered();
}

SpecAnswers::SpecAnswers(std::vector<UnitSpec> specs)
    : specs_(std::move(specs)), unanswered_(specs_.size()),
      onlyMacs_(std::all_of(specs_.begin(), specs_.end(), [](const UnitSpec& spec) {
          return spec.kind == UnitSpec::Kind::Mac;
      })) {
    if (onlyMacs_) {
        for (const UnitSpec& spec : specs_) {
            ++awaited_[spec.normalized];
        }
    }
}

bool SpecAnswers::take(const DeviceRecord& unit) {
    if (onlyMacs_ && unanswered_ > 0) {
        if (const auto found = awaited_.find(upperCaseMacText(unit.mac)); found != awaited_.end()) {
            unanswered_ -= found->second; // a MAC typed twice is answered by one unit
            awaited_.erase(found);
        }
    }
    return everyAnswered();
}

namespace {

// The probed units by each form a word may name them with, for lookups in fleets of hundreds.
struct UnitIndex {
    std::multimap<std::string, int> byMac;
    std::multimap<std::string, int> byIp;
    std::multimap<std::string, int> byName;

    explicit UnitIndex(const std::vector<DeviceRecord>& units) {
        for (std::size_t i = 0; i < units.size(); ++i) {
            const int index = static_cast<int>(i);
            byMac.emplace(upperCaseMacText(units[i].mac), index);
            byIp.emplace(units[i].ip, index);
            byName.emplace(units[i].name, index);
        }
    }

    static void collect(const std::multimap<std::string, int>& map, const std::string& key,
                        std::vector<int>& found) {
        const auto [first, last] = map.equal_range(key);
        for (auto it = first; it != last; ++it) {
            found.push_back(it->second);
        }
    }

    // The units `spec` names, in order of arrival.
    std::vector<int> named(const UnitSpec& spec) const {
        std::vector<int> found;
        switch (spec.kind) {
        case UnitSpec::Kind::All:
            break;
        case UnitSpec::Kind::Mac:
            collect(byMac, spec.normalized, found);
            break;
        case UnitSpec::Kind::Ip:
            collect(byIp, spec.normalized, found);
            break;
        case UnitSpec::Kind::Name:
            collect(byName, spec.normalized, found);
            if (const auto latin1 = utf8ToLatin1(spec.normalized);
                latin1 && *latin1 != spec.normalized) {
                collect(byName, *latin1, found);
            }
            std::sort(found.begin(), found.end());
            break;
        }
        return found;
    }
};

} // namespace

UnitMatch matchUnits(const std::vector<UnitSpec>& specs, const std::vector<DeviceRecord>& units) {
    UnitMatch match;
    std::vector<bool> isSelected(units.size(), false);
    auto select = [&](int index) {
        if (!isSelected[static_cast<std::size_t>(index)]) {
            isSelected[static_cast<std::size_t>(index)] = true;
            match.selected.push_back(index);
        }
    };
    const UnitIndex index(units);
    for (const UnitSpec& spec : specs) {
        if (spec.kind == UnitSpec::Kind::All) {
            for (std::size_t i = 0; i < units.size(); ++i) {
                select(static_cast<int>(i));
            }
            continue;
        }
        const std::vector<int> found = index.named(spec);
        if (found.empty()) {
            match.unknown.push_back(spec.text);
        } else if (found.size() > 1) {
            match.ambiguous.push_back(spec.text);
        } else {
            select(found.front());
        }
    }
    return match;
}

DeviceRecord unitNamedBy(const UnitSpec& spec) {
    DeviceRecord unit;
    switch (spec.kind) {
    case UnitSpec::Kind::Mac:
        unit.mac = spec.normalized;
        break;
    case UnitSpec::Kind::Ip:
        unit.ip = spec.normalized;
        break;
    case UnitSpec::Kind::Name:
    case UnitSpec::Kind::All:
        unit.name = spec.text;
        break;
    }
    return unit;
}

} // namespace morvik::cli
