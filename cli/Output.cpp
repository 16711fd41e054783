#include "cli/Output.h"

#include "cli/JsonText.h"
#include "cli/Terminal.h"
#include "protocol/Latin1Text.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string_view>

namespace morvik::cli {

std::string formatTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rawRows) {
    // Cells hold texts of units and files: nothing in them may act on the terminal.
    std::vector<std::vector<std::string>> rows;
    rows.reserve(rawRows.size());
    for (const auto& raw : rawRows) {
        std::vector<std::string> row;
        row.reserve(raw.size());
        for (const std::string& cell : raw) {
            row.push_back(escapeControlCharacters(cell));
        }
        rows.push_back(std::move(row));
    }
    std::vector<std::size_t> widths(header.size(), 0);
    auto measure = [&](const std::vector<std::string>& cells) {
        for (std::size_t c = 0; c < cells.size() && c < widths.size(); ++c) {
            widths[c] = std::max(widths[c], cells[c].size());
        }
    };
    measure(header);
    for (const auto& row : rows) {
        measure(row);
    }
    std::string text;
    auto write = [&](const std::vector<std::string>& cells) {
        std::string line;
        for (std::size_t c = 0; c < cells.size() && c < widths.size(); ++c) {
            line += cells[c];
            if (c + 1 < cells.size()) {
                line.append(widths[c] - cells[c].size() + 2, ' ');
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        text += line + '\n';
    };
    write(header);
    for (const auto& row : rows) {
        write(row);
    }
    return text;
}

namespace {

Json withUtf8Texts(const Json& value) {
    if (value.is_string()) {
        return latin1ToUtf8(value.get_ref<const std::string&>());
    }
    if (value.is_array()) {
        Json array = Json::array();
        for (const Json& element : value) {
            array.push_back(withUtf8Texts(element));
        }
        return array;
    }
    if (value.is_object()) {
        Json object = Json::object();
        for (const auto& [key, member] : value.items()) {
            object[latin1ToUtf8(key)] = withUtf8Texts(member);
        }
        return object;
    }
    return value;
}

} // namespace

std::string jsonDocument(const Json& document) {
    return withUtf8Texts(document).dump(2);
}

Json probeJson(const std::vector<ProbedUnit>& units) {
    Json list = Json::array();
    for (const ProbedUnit& unit : units) {
        const DeviceRecord& record = unit.record;
        list.push_back({{"name", record.name},
                        {"ip", record.ip},
                        {"mac", record.mac},
                        {"productId", record.productId},
                        {"version", record.version},
                        {"addressMode", record.addressMode},
                        {"checksumOk", unit.checksumOk}});
    }
    return list;
}

std::string probeTable(const std::vector<ProbedUnit>& units) {
    std::vector<std::vector<std::string>> rows;
    for (const ProbedUnit& unit : units) {
        const DeviceRecord& record = unit.record;
        rows.push_back({record.name, record.ip, record.mac, record.productId, record.version,
                        record.addressMode});
    }
    return formatTable({"NAME", "IP", "MAC", "PRODUCT", "VERSION", "ADDRESS MODE"}, rows);
}

namespace {

Json readUnitJson(const UnitRead& read) {
    Json parameters = Json::array();
    const ReadOutcome& outcome = read.outcome;
    for (std::size_t i = 0; i < outcome.parameterCount(); ++i) {
        const ParameterHeading& heading = outcome.heading(i);
        parameters.push_back({{"index", heading.index},
                              {"address", heading.address},
                              {"class", heading.className},
                              {"parameter", heading.parameterName},
                              {"access", heading.access},
                              {"value", outcome.values[i]}});
    }
    return {{"mac", read.unit.mac},
            {"ip", read.unit.ip},
            {"result", resultText(read.result)},
            {"parameters", std::move(parameters)}};
}

// A parameter's object as printed up to its value's text, the same for every unit read with
// one description: a fleet's read writes it by copying.
std::vector<std::string> parameterOpenings(const std::vector<ParameterHeading>& headings) {
    std::vector<std::string> openings;
    openings.reserve(headings.size());
    for (const ParameterHeading& heading : headings) {
        std::string text = "      {\n        \"index\": " + std::to_string(heading.index) +
                           ",\n        \"address\": ";
        appendJsonText(text, heading.address);
        text += ",\n        \"class\": ";
        appendJsonText(text, heading.className);
        text += ",\n        \"parameter\": ";
        appendJsonText(text, heading.parameterName);
        text += ",\n        \"access\": ";
        appendJsonText(text, heading.access);
        text += ",\n        \"value\": ";
        openings.push_back(std::move(text));
    }
    return openings;
}

} // namespace

Json readJson(const std::vector<UnitRead>& reads) {
    Json list = Json::array();
    for (const UnitRead& read : reads) {
        list.push_back(readUnitJson(read));
    }
    return list;
}

void writeReadJson(std::ostream& out, const std::vector<UnitRead>& reads) {
    if (reads.empty()) {
        out << "[]\n";
        return;
    }
    constexpr std::size_t kFlushAt = std::size_t{1} << 20;
    std::string text;
    text.reserve(kFlushAt + kFlushAt / 4);
    std::map<const void*, std::vector<std::string>> openingsOf;
    text += "[\n";
    for (std::size_t u = 0; u < reads.size(); ++u) {
        const UnitRead& read = reads[u];
        const ReadOutcome& outcome = read.outcome;
        text += "  {\n    \"mac\": ";
        appendJsonText(text, read.unit.mac);
        text += ",\n    \"ip\": ";
        appendJsonText(text, read.unit.ip);
        text += ",\n    \"result\": ";
        appendJsonText(text, resultText(read.result));
        const std::size_t count = outcome.parameterCount();
        if (count == 0) {
            text += ",\n    \"parameters\": []";
        } else {
            auto [found, fresh] = openingsOf.try_emplace(outcome.headings.get());
            if (fresh) {
                found->second = parameterOpenings(*outcome.headings);
            }
            const std::vector<std::string>& openings = found->second;
            text += ",\n    \"parameters\": [\n";
            for (std::size_t i = 0; i < count; ++i) {
                text += openings[i];
                appendJsonText(text, outcome.values[i]);
                text += i + 1 < count ? "\n      },\n" : "\n      }\n";
                if (text.size() >= kFlushAt) {
                    out.write(text.data(), static_cast<std::streamsize>(text.size()));
                    text.clear();
                }
            }
            text += "    ]";
        }
        text += u + 1 < reads.size() ? "\n  },\n" : "\n  }\n";
    }
    text += "]\n";
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string readTables(const std::vector<UnitRead>& reads) {
    std::string text;
    for (const UnitRead& read : reads) {
        if (!text.empty()) {
            text += '\n';
        }
        const DeviceRecord& unit = read.unit;
        text += escapeControlCharacters(unit.name + "  " + unit.ip + "  " + unit.mac +
                                        "  product " + unit.productId + " version " + unit.version);
        if (read.result == UnitResult::CredentialsNeeded) {
            text += "  (credentials needed)";
        } else if (!read.outcome.complete) {
            text += read.outcome.refused         ? "  (refused)"
                    : read.outcome.checksumError ? "  (checksum error)"
                                                 : "  (incomplete)";
        }
        text += '\n';
        std::vector<std::vector<std::string>> rows;
        const ReadOutcome& outcome = read.outcome;
        for (std::size_t i = 0; i < outcome.parameterCount(); ++i) {
            const ParameterHeading& heading = outcome.heading(i);
            rows.push_back({std::to_string(heading.index), heading.address, heading.className,
                            heading.parameterName, heading.access, outcome.values[i]});
        }
        text += formatTable({"INDEX", "ADDRESS", "CLASS", "PARAMETER", "ACCESS", "VALUE"}, rows);
    }
    return text;
}

Json failureJson(const std::vector<std::string>& problems) {
    std::string reasons;
    for (const std::string& problem : problems) {
        if (!reasons.empty()) {
            reasons += "; ";
        }
        reasons += problem;
    }
    if (reasons.empty()) {
        reasons = "the command failed before the operation";
    }
    return Json{{"error", reasons}};
}

Json differencesJson(const std::vector<UnitDifferences>& units) {
    Json list = Json::array();
    for (const UnitDifferences& unit : units) {
        Json differences = Json::array();
        for (const Difference& difference : unit.differences) {
            differences.push_back({{"index", difference.index},
                                   {"address", difference.address},
                                   {"parameter", difference.parameter},
                                   {"unit", difference.unitValue},
                                   {"file", difference.newValue}});
        }
        list.push_back({{"mac", unit.unit.mac},
                        {"ip", unit.unit.ip},
                        {"result", resultText(unit.result)},
                        {"differences", std::move(differences)}});
    }
    return list;
}

std::string differencesTables(const std::vector<UnitDifferences>& units) {
    std::string text;
    for (const UnitDifferences& unit : units) {
        if (!text.empty()) {
            text += '\n';
        }
        text +=
            escapeControlCharacters(unit.unit.name + "  " + unit.unit.ip + "  " + unit.unit.mac);
        if (unit.result != UnitResult::Ok) {
            text += "  (" + resultText(unit.result) + ")\n";
            continue;
        }
        if (unit.differences.empty()) {
            text += "  (no difference)\n";
            continue;
        }
        text += '\n';
        std::vector<std::vector<std::string>> rows;
        for (const Difference& difference : unit.differences) {
            rows.push_back({std::to_string(difference.index), difference.address,
                            difference.parameter, difference.unitValue, difference.newValue});
        }
        text += formatTable({"INDEX", "ADDRESS", "PARAMETER", "UNIT", "NEW"}, rows);
    }
    return text;
}

Json resultsJson(const std::vector<UnitOutcome>& outcomes) {
    Json list = Json::array();
    for (const UnitOutcome& outcome : outcomes) {
        Json object = {{"mac", outcome.unit.mac},
                       {"ip", outcome.unit.ip},
                       {"result", resultText(outcome.result)}};
        if (outcome.reboot) {
            object["reboot"] = resultText(*outcome.reboot);
        }
        list.push_back(std::move(object));
    }
    return list;
}

std::string resultsTable(const std::vector<UnitOutcome>& outcomes) {
    const bool withReboot = std::any_of(outcomes.begin(), outcomes.end(),
                                        [](const UnitOutcome& outcome) { return outcome.reboot; });
    std::vector<std::string> header{"NAME", "IP", "MAC", "RESULT"};
    if (withReboot) {
        header.emplace_back("REBOOT");
    }
    std::vector<std::vector<std::string>> rows;
    for (const UnitOutcome& outcome : outcomes) {
        std::vector<std::string> row{outcome.unit.name, outcome.unit.ip, outcome.unit.mac,
                                     resultText(outcome.result)};
        if (withReboot) {
            row.push_back(outcome.reboot ? resultText(*outcome.reboot) : "-");
        }
        rows.push_back(std::move(row));
    }
    return formatTable(header, rows);
}

} // namespace morvik::cli
