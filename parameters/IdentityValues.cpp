#include "parameters/IdentityValues.h"

#include "parameters/ApplyConfiguration.h"
#include "parameters/ParameterTable.h"

#include <algorithm>
#include <array>

namespace morvik {
namespace {

std::string folded(std::string_view text) {
    std::string result;
    for (const char c : text) {
        const char blank = c == '_' ? ' ' : c;
        result += static_cast<char>(blank >= 'A' && blank <= 'Z' ? blank - 'A' + 'a' : blank);
    }
    return result;
}

bool holdsOwnIdentity(const std::string& value, const std::vector<UnitIdentity>& units) {
    return std::any_of(units.begin(), units.end(), [&](const UnitIdentity& unit) {
        return !value.empty() && (value == unit.name || value == unit.ip);
    });
}

bool isEveryUnitsOwn(const std::string& value, const std::vector<UnitIdentity>& units) {
    return !units.empty() && std::all_of(units.begin(), units.end(), [&](const UnitIdentity& unit) {
        return value == unit.name || value == unit.ip;
    });
}

} // namespace

bool isIdentityParameter(std::string_view parameterText) {
    static constexpr std::array<std::string_view, 14> kNames{
        "device name", "unit name",       "host name",    "hostname",    "ip address",
        "ip",          "ipv4 address",    "ipv6 address", "mac address", "mac",
        "gateway",     "default gateway", "dns server",   "dns"};
    const std::string name = folded(parameterText);
    return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

std::vector<IdentityChange> identityChanges(const ConfigurationContent& content,
                                            const ParameterTable& table,
                                            const std::vector<UnitIdentity>& units) {
    std::vector<IdentityChange> changes;
    for (const ConfigurationLine& line : content.lines) {
        if (!marksParameter(content, line, table)) {
            continue;
        }
        const std::string& parameter = table.text(line.lineNumber, ParameterTable::ParameterColumn);
        const std::string& shown = table.text(line.lineNumber, ParameterTable::ValueColumn);
        if ((isIdentityParameter(parameter) || holdsOwnIdentity(shown, units)) &&
            !isEveryUnitsOwn(line.value, units)) {
            // A line given twice loads its later value.
            std::erase_if(changes, [&](const IdentityChange& earlier) {
                return earlier.line == line.lineNumber;
            });
            changes.push_back({line.lineNumber, parameter, line.value});
        }
    }
    std::sort(changes.begin(), changes.end(),
              [](const IdentityChange& a, const IdentityChange& b) { return a.line < b.line; });
    return changes;
}

ConfigurationContent withoutChanges(ConfigurationContent content,
                                    const std::vector<IdentityChange>& changes) {
    std::erase_if(content.lines, [&](const ConfigurationLine& line) {
        return std::any_of(changes.begin(), changes.end(), [&](const IdentityChange& change) {
            return change.line == line.lineNumber;
        });
    });
    return content;
}

} // namespace morvik
