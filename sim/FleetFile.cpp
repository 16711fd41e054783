#include "sim/FleetFile.h"

#include "protocol/Latin1Text.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace morvik::sim {

namespace {

// Members keep the order they were written in: initial values are applied in that order.
using Value = nlohmann::ordered_json;

constexpr std::size_t kMaxTextField = 255; // one length byte on the wire
constexpr std::uint32_t kDefaultFirstAddress = (127U << 24) | (77U << 16) | 1U; // 127.77.0.1

// Thrown inside this file only, caught by parseFleet: carries the path of the offending key.
struct FleetError {
    std::string message;
};

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw FleetError{where + ": " + what};
}

const Value* member(const Value& object, const std::string& key) {
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

void rejectUnknownKeys(const Value& object, const std::string& where,
                       std::initializer_list<std::string_view> known) {
    for (const auto& [key, value] : object.items()) {
        bool isKnown = false;
        for (auto name : known) {
            isKnown = isKnown || key == name;
        }
        if (!isKnown) {
            fail(where, "unknown key \"" + key + "\"");
        }
    }
}

int wholeNumber(const Value& value, const std::string& where, int low, int high) {
    const double number = value.is_number() ? value.get<double>() : std::nan("");
    if (!value.is_number() || number != std::floor(number) || number < low || number > high) {
        fail(where, "expected a whole number " + std::to_string(low) + ".." + std::to_string(high));
    }
    return static_cast<int>(number);
}

// The file is UTF-8; units hold one byte per character, so the text is kept in that form and
// its length counted in it.
std::string unitText(const std::string& utf8, const std::string& where) {
    auto latin1 = utf8ToLatin1(utf8);
    if (!latin1) {
        fail(where, "holds a character above U+00FF, which a unit cannot hold");
    }
    return std::move(*latin1);
}

std::string text(const Value& value, const std::string& where, std::size_t maxLength) {
    if (!value.is_string()) {
        fail(where, "expected a text");
    }
    std::string latin1 = unitText(value.get_ref<const std::string&>(), where);
    if (latin1.size() > maxLength) {
        fail(where, "longer than " + std::to_string(maxLength) + " bytes");
    }
    return latin1;
}

bool flag(const Value& value, const std::string& where) {
    if (!value.is_boolean()) {
        fail(where, "expected true or false");
    }
    return value.get<bool>();
}

std::optional<int> smallNumber(std::string_view digits, int high) {
    if (digits.empty() || digits.size() > 3) {
        return std::nullopt;
    }
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size() || number > high) {
        return std::nullopt;
    }
    return number;
}

void readVersion(const Value& value, const std::string& where, UnitSpec& unit) {
    const std::string version = text(value, where, 16);
    const auto point = version.find('.');
    const auto major = point == std::string::npos
                           ? std::nullopt
                           : smallNumber(std::string_view(version).substr(0, point), 255);
    const auto minor = point == std::string::npos
                           ? std::nullopt
                           : smallNumber(std::string_view(version).substr(point + 1), 255);
    if (!major || !minor) {
        fail(where, "expected \"major.minor\", each 0..255");
    }
    unit.major = *major;
    unit.minor = *minor;
}

UnitFaults readFaults(const Value& value, const std::string& where) {
    if (!value.is_object()) {
        fail(where, "expected an object");
    }
    rejectUnknownKeys(value, where,
                      {"badChecksum", "noAnswer", "lateAnswerMs", "duplicateAnswer",
                       "oversizedProbeReply", "errorReply", "lossPercent", "lossSeed",
                       "lossIncludesProbes"});
    UnitFaults faults;
    for (const auto& [key, item] : value.items()) {
        const std::string at = where + "." + key;
        if (key == "badChecksum") {
            faults.badChecksum = flag(item, at);
        } else if (key == "noAnswer") {
            faults.noAnswer = flag(item, at);
        } else if (key == "lateAnswerMs") {
            faults.lateAnswerMs = wholeNumber(item, at, 0, kMaxLateAnswerMs);
        } else if (key == "duplicateAnswer") {
            faults.duplicateAnswer = flag(item, at);
        } else if (key == "oversizedProbeReply") {
            faults.oversizedProbeReply = flag(item, at);
        } else if (key == "errorReply") {
            faults.errorReply = flag(item, at);
        } else if (key == "lossPercent") {
            faults.lossPercent = wholeNumber(item, at, 0, 100);
        } else if (key == "lossIncludesProbes") {
            faults.lossIncludesProbes = flag(item, at);
        } else if (key == "lossSeed") {
            faults.lossSeed = static_cast<std::uint32_t>(wholeNumber(item, at, 0, 2147483647));
        }
    }
    return faults;
}

// Everything of a unit except its MAC and IP, which a template does not carry.
void readUnitBody(const Value& object, const std::string& where, UnitSpec& unit) {
    const Value* productId = member(object, "productId");
    const Value* version = member(object, "version");
    if (productId == nullptr) {
        fail(where, "missing \"productId\"");
    }
    if (version == nullptr) {
        fail(where, "missing \"version\"");
    }
    unit.productId = wholeNumber(*productId, where + ".productId", 0, 255);
    readVersion(*version, where + ".version", unit);
    if (const Value* name = member(object, "name")) {
        unit.name = text(*name, where + ".name", kMaxTextField);
    }
    if (const Value* mode = member(object, "addressMode")) {
        unit.addressMode = wholeNumber(*mode, where + ".addressMode", 0, 255);
    }
    if (const Value* loginId = member(object, "loginId")) {
        unit.loginId = text(*loginId, where + ".loginId", kMaxTextField);
    }
    if (const Value* password = member(object, "password")) {
        unit.password = text(*password, where + ".password", kMaxTextField);
    }
    if (const Value* values = member(object, "values")) {
        if (!values->is_object()) {
            fail(where + ".values", "expected an object of address: text");
        }
        for (const auto& [address, item] : values->items()) {
            const std::string at = where + ".values." + address;
            unit.values.emplace_back(unitText(address, at), text(item, at, 65535));
        }
    }
    if (const Value* rawValues = member(object, "rawValues")) {
        if (!rawValues->is_object()) {
            fail(where + ".rawValues", "expected an object of address: hex bytes");
        }
        for (const auto& [address, item] : rawValues->items()) {
            const std::string at = where + ".rawValues." + address;
            auto bytes = parseHexBytes(text(item, at, 131070));
            if (!bytes) {
                fail(at, "expected pairs of hexadecimal digits");
            }
            unit.rawValues.emplace_back(unitText(address, at), std::move(*bytes));
        }
    }
    if (const Value* faults = member(object, "faults")) {
        unit.faults = readFaults(*faults, where + ".faults");
    }
}

MacBytes readMac(const Value& value, const std::string& where) {
    const auto mac = parseMacText(text(value, where, 32));
    if (!mac) {
        fail(where, "expected six hexadecimal pairs such as 02:4D:56:00:00:01");
    }
    return *mac;
}

std::string readAddress(const Value& value, const std::string& where, FleetOptions options) {
    const std::string address = text(value, where, 15);
    const auto number = parseDottedAddress(address);
    if (!number) {
        fail(where, "expected a dotted IPv4 address");
    }
    if (!options.allowNonLoopback && (*number >> 24) != 127) {
        fail(where, "not a loopback address (127.x.x.x); units elsewhere need a network "
                    "namespace of their own and --allow-non-loopback");
    }
    if ((*number & 0x00FFFFFFU) == 0 || (*number & 0x00FFFFFFU) == 0x00FFFFFFU) {
        fail(where, "a network or broadcast address cannot be a unit's address");
    }
    return formatDottedAddress(*number);
}

UnitSpec readUnit(const Value& object, const std::string& where, std::size_t position,
                  FleetOptions options) {
    if (!object.is_object()) {
        fail(where, "expected an object");
    }
    rejectUnknownKeys(object, where,
                      {"name", "mac", "ip", "productId", "version", "addressMode", "loginId",
                       "password", "values", "rawValues", "faults"});
    UnitSpec unit;
    readUnitBody(object, where, unit);
    const Value* mac = member(object, "mac");
    if (mac == nullptr) {
        fail(where, "missing \"mac\"");
    }
    unit.mac = readMac(*mac, where + ".mac");
    if (const Value* ip = member(object, "ip")) {
        unit.ip = readAddress(*ip, where + ".ip", options);
    } else {
        unit.ip = formatDottedAddress(kDefaultFirstAddress + static_cast<std::uint32_t>(position));
    }
    return unit;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

MacBytes macPlus(const MacBytes& base, std::uint64_t offset) {
    std::uint64_t number = 0;
    for (auto byte : base) {
        number = (number << 8) | byte;
    }
    number += offset;
    MacBytes mac{};
    for (int i = 5; i >= 0; --i) {
        mac[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(number & 0xFF);
        number >>= 8;
    }
    return mac;
}

void readGenerated(const Value& object, const std::string& where, FleetOptions options,
                   std::vector<UnitSpec>& units) {
    if (!object.is_object()) {
        fail(where, "expected an object");
    }
    rejectUnknownKeys(object, where, {"template", "count", "ipBase", "macBase"});
    const Value* templateUnit = member(object, "template");
    const Value* count = member(object, "count");
    const Value* ipBase = member(object, "ipBase");
    const Value* macBase = member(object, "macBase");
    if (templateUnit == nullptr || count == nullptr || ipBase == nullptr || macBase == nullptr) {
        fail(where, "needs \"template\", \"count\", \"ipBase\" and \"macBase\"");
    }
    if (!templateUnit->is_object()) {
        fail(where + ".template", "expected an object");
    }
    rejectUnknownKeys(*templateUnit, where + ".template",
                      {"name", "productId", "version", "addressMode", "loginId", "password",
                       "values", "rawValues", "faults"});
    UnitSpec pattern;
    readUnitBody(*templateUnit, where + ".template", pattern);
    const int unitCount = wholeNumber(*count, where + ".count", 1, kMaxGeneratedUnits);
    const std::uint32_t firstIp =
        *parseDottedAddress(readAddress(*ipBase, where + ".ipBase", options));
    const MacBytes firstMac = readMac(*macBase, where + ".macBase");
    const std::uint32_t lastIp = firstIp + static_cast<std::uint32_t>(unitCount - 1);
    if (lastIp < firstIp || (!options.allowNonLoopback && (lastIp >> 24) != 127) ||
        (lastIp & 0x00FFFFFFU) == 0x00FFFFFFU) {
        fail(where + ".count", "the addresses run past the end of the network");
    }
    for (int n = 1; n <= unitCount; ++n) {
        UnitSpec unit = pattern;
        const std::string number = std::to_string(n);
        unit.ip = formatDottedAddress(firstIp + static_cast<std::uint32_t>(n - 1));
        unit.mac = macPlus(firstMac, static_cast<std::uint64_t>(n - 1));
        if (unit.name.find("{n}") == std::string::npos) {
            unit.name += "-{n}";
        }
        replaceAll(unit.name, "{n}", number);
        if (unit.name.size() > kMaxTextField) {
            fail(where + ".template.name", "longer than 255 bytes once numbered");
        }
        for (auto& [address, valueText] : unit.values) {
            replaceAll(valueText, "{n}", number);
            replaceAll(valueText, "{ip}", unit.ip);
        }
        units.push_back(std::move(unit));
    }
}

} // namespace

std::optional<std::uint32_t> parseDottedAddress(std::string_view text) {
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        const auto end = part < 3 ? text.find('.') : text.size();
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const auto octet = smallNumber(text.substr(0, end), 255);
        if (!octet) {
            return std::nullopt;
        }
        address = (address << 8) | static_cast<std::uint32_t>(*octet);
        text.remove_prefix(part < 3 ? end + 1 : end);
    }
    return address;
}

std::string formatDottedAddress(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

bool isLoopbackAddress(std::string_view text) {
    const auto address = parseDottedAddress(text);
    return address && (*address >> 24) == 127;
}

std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (error != std::errc() || end != text.data() + i + 2) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

std::string formatHexBytes(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (auto byte : bytes) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
    }
    return out;
}

std::optional<Fleet> parseFleet(std::string_view jsonText, std::string& error,
                                FleetOptions options) {
    // A key given twice would silently lose one of its values (a fault, an initial value).
    std::vector<std::set<std::string>> keysOfOpenObjects;
    std::string duplicateKey;
    const Value::parser_callback_t noteKeys = [&](int, Value::parse_event_t event, Value& parsed) {
        if (event == Value::parse_event_t::object_start) {
            keysOfOpenObjects.emplace_back();
        } else if (event == Value::parse_event_t::object_end) {
            keysOfOpenObjects.pop_back();
        } else if (event == Value::parse_event_t::key && duplicateKey.empty() &&
                   !keysOfOpenObjects.back().insert(parsed.get<std::string>()).second) {
            duplicateKey = parsed.get<std::string>();
        }
        return true;
    };
    Value document;
    try {
        document = Value::parse(jsonText, noteKeys);
    } catch (const Value::parse_error& syntax) {
        error = "not JSON at offset " + std::to_string(syntax.byte) + ": " + syntax.what();
        return std::nullopt;
    } catch (const Value::exception& unreadable) { // a number beyond the range of a double
        error = std::string("not JSON: ") + unreadable.what();
        return std::nullopt;
    }
    try {
        if (!duplicateKey.empty()) {
            fail("fleet", "the key \"" + duplicateKey + "\" is given twice in one object");
        }
        if (!document.is_object()) {
            fail("fleet", "expected an object with \"units\" and/or \"generate\"");
        }
        rejectUnknownKeys(document, "fleet", {"units", "generate"});
        Fleet fleet;
        if (const Value* units = member(document, "units")) {
            if (!units->is_array()) {
                fail("units", "expected an array");
            }
            for (std::size_t i = 0; i < units->size(); ++i) {
                fleet.units.push_back(
                    readUnit((*units)[i], "units[" + std::to_string(i) + "]", i, options));
            }
        }
        if (const Value* generate = member(document, "generate")) {
            if (!generate->is_array()) {
                fail("generate", "expected an array");
            }
            for (std::size_t i = 0; i < generate->size(); ++i) {
                readGenerated((*generate)[i], "generate[" + std::to_string(i) + "]", options,
                              fleet.units);
            }
        }
        std::set<MacBytes> macs;
        std::set<std::string> addresses;
        for (const auto& unit : fleet.units) {
            if (!macs.insert(unit.mac).second) {
                fail("fleet", "MAC " + formatMacText(unit.mac) + " is given twice");
            }
            if (!addresses.insert(unit.ip).second) {
                fail("fleet", "IP " + unit.ip + " is given twice");
            }
        }
        return fleet;
    } catch (const FleetError& failure) {
        error = failure.message;
        return std::nullopt;
    }
}

std::optional<Fleet> loadFleetFile(const std::string& path, std::string& error,
                                   FleetOptions options) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open the fleet file " + path;
        return std::nullopt;
    }
    std::ostringstream content;
    content << file.rdbuf();
    auto fleet = parseFleet(content.str(), error, options);
    if (!fleet) {
        error = path + ": " + error;
    }
    return fleet;
}

} // namespace morvik::sim
