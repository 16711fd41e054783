#include "cli/Output.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace morvik::cli {

std::string formatTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows) {
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

json::Value probeJson(const std::vector<ProbedUnit>& units) {
    json::Value list = json::Value::Array{};
    for (const ProbedUnit& unit : units) {
        const DeviceRecord& record = unit.record;
        list.push(json::Value::Object{{"name", record.name},
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

json::Value readJson(const std::vector<UnitRead>& reads) {
    json::Value list = json::Value::Array{};
    for (const UnitRead& read : reads) {
        json::Value parameters = json::Value::Array{};
        for (const ParameterReport& parameter : read.outcome.parameters) {
            parameters.push(json::Value::Object{{"index", parameter.index},
                                                {"address", parameter.address},
                                                {"class", parameter.className},
                                                {"parameter", parameter.parameterName},
                                                {"access", parameter.access},
                                                {"value", parameter.value}});
        }
        list.push(json::Value::Object{
            {"mac", read.unit.mac}, {"ip", read.unit.ip}, {"parameters", std::move(parameters)}});
    }
    return list;
}

std::string readTables(const std::vector<UnitRead>& reads) {
    std::string text;
    for (const UnitRead& read : reads) {
        if (!text.empty()) {
            text += '\n';
        }
        const DeviceRecord& unit = read.unit;
        text += unit.name + "  " + unit.ip + "  " + unit.mac + "  product " + unit.productId +
                " version " + unit.version;
        if (!read.outcome.complete) {
            text += read.outcome.refused ? "  (refused)" : "  (incomplete)";
        }
        text += '\n';
        std::vector<std::vector<std::string>> rows;
        for (const ParameterReport& parameter : read.outcome.parameters) {
            rows.push_back({std::to_string(parameter.index), parameter.address, parameter.className,
                            parameter.parameterName, parameter.access, parameter.value});
        }
        text += formatTable({"INDEX", "ADDRESS", "CLASS", "PARAMETER", "ACCESS", "VALUE"}, rows);
    }
    return text;
}

namespace {

// Length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1FU;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0FU;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07U;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0U) != 0x80U) {
            return 0;
        }
        code = (code << 6) | (byte(at + i) & 0x3FU);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

std::string asUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length > 0) {
            out.append(text.substr(at, length));
            at += length;
            continue;
        }
        const auto latin1 = static_cast<unsigned char>(text[at++]);
        out += static_cast<char>(0xC0U | (latin1 >> 6));
        out += static_cast<char>(0x80U | (latin1 & 0x3FU));
    }
    return out;
}

} // namespace

json::Value failureJson(const std::vector<std::string>& problems) {
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
    return json::Value::Object{{"error", asUtf8(reasons)}};
}

json::Value resultsJson(const std::vector<UnitOutcome>& outcomes) {
    json::Value list = json::Value::Array{};
    for (const UnitOutcome& outcome : outcomes) {
        json::Value::Object object{{"mac", outcome.unit.mac},
                                   {"ip", outcome.unit.ip},
                                   {"result", resultText(outcome.result)}};
        if (outcome.reboot) {
            object.emplace_back("reboot", resultText(*outcome.reboot));
        }
        list.push(std::move(object));
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
