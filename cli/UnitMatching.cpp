#include "cli/UnitMatching.h"

#include "protocol/Latin1Text.h"
#include "protocol/MacAddress.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>

namespace morvik::cli {

namespace {

std::optional<std::string> canonicalAddress(const std::string& text) {
    in_addr parsed{};
    if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) {
        return std::nullopt;
    }
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
    : specs_(std::move(specs)), answered_(specs_.size(), false), unanswered_(specs_.size()),
      onlyMacs_(std::all_of(specs_.begin(), specs_.end(), [](const UnitSpec& spec) {
          return spec.kind == UnitSpec::Kind::Mac;
      })) {}

bool SpecAnswers::take(const DeviceRecord& unit) {
    for (std::size_t i = 0; onlyMacs_ && i < specs_.size() && unanswered_ > 0; ++i) {
        if (!answered_[i] && specs_[i].kind != UnitSpec::Kind::All && matches(specs_[i], unit)) {
            answered_[i] = true;
            --unanswered_;
        }
    }
    return everyAnswered();
}

UnitMatch matchUnits(const std::vector<UnitSpec>& specs, const std::vector<DeviceRecord>& units) {
    UnitMatch match;
    auto select = [&](int index) {
        if (std::find(match.selected.begin(), match.selected.end(), index) ==
            match.selected.end()) {
            match.selected.push_back(index);
        }
    };
    for (const UnitSpec& spec : specs) {
        std::vector<int> found;
        for (std::size_t i = 0; i < units.size(); ++i) {
            if (matches(spec, units[i])) {
                found.push_back(static_cast<int>(i));
            }
        }
        if (spec.kind == UnitSpec::Kind::All) {
            for (const int index : found) {
                select(index);
            }
            continue;
        }
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

} // namespace morvik::cli
