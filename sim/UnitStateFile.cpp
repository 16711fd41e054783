#include "sim/UnitStateFile.h"

#include "protocol/Latin1Text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unistd.h>

namespace morvik::sim {

namespace {

using Json = nlohmann::ordered_json;

std::string versionText(const UnitSpec& spec) {
    return std::to_string(spec.major) + "." + std::to_string(spec.minor);
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

const Json* member(const Json& object, const std::string& key) {
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> textFromHex(const Json* value) {
    if (value == nullptr || !value->is_string()) {
        return std::nullopt;
    }
    const auto bytes = parseHexBytes(value->get_ref<const std::string&>());
    if (!bytes) {
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

std::string unitStatePath(const std::string& stateDirectory, const MacBytes& mac) {
    std::string name = formatMacText(mac);
    for (auto& character : name) {
        if (character == ':') {
            character = '-';
        }
    }
    return (std::filesystem::path(stateDirectory) / (name + ".json")).string();
}

std::string serializeUnitState(const SimulatedUnit& unit) {
    const UnitState state = unit.state();
    // Addresses come from a description file and are bytes like every text of a unit.
    Json values = Json::object();
    for (const auto& [address, bytes] : state.values) {
        values[latin1ToUtf8(address)] = formatHexBytes(bytes);
    }
    const Json document = {{"mac", unit.macText()},
                           {"productId", unit.spec().productId},
                           {"version", versionText(unit.spec())},
                           {"loginIdHex", formatHexBytes(bytesOf(state.loginId))},
                           {"passwordHex", formatHexBytes(bytesOf(state.password))},
                           {"values", std::move(values)}};
    return document.dump(2) + "\n";
}

std::optional<UnitState> parseUnitState(std::string_view text, const UnitSpec& spec) {
    const Json document = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!document.is_object()) { // also what a failed parse gives
        return std::nullopt;
    }
    const Json* productId = member(document, "productId");
    const Json* version = member(document, "version");
    if (productId == nullptr || !productId->is_number() ||
        productId->get<double>() != spec.productId || version == nullptr || !version->is_string() ||
        version->get_ref<const std::string&>() != versionText(spec)) {
        return std::nullopt;
    }
    UnitState state;
    auto loginId = textFromHex(member(document, "loginIdHex"));
    auto password = textFromHex(member(document, "passwordHex"));
    const Json* values = member(document, "values");
    if (!loginId || !password || values == nullptr || !values->is_object()) {
        return std::nullopt;
    }
    state.loginId = std::move(*loginId);
    state.password = std::move(*password);
    for (const auto& [address, item] : values->items()) {
        auto bytes =
            item.is_string() ? parseHexBytes(item.get_ref<const std::string&>()) : std::nullopt;
        auto latin1Address = utf8ToLatin1(address);
        if (!bytes || !latin1Address) {
            return std::nullopt;
        }
        state.values.emplace_back(std::move(*latin1Address), std::move(*bytes));
    }
    return state;
}

bool saveUnitState(const std::string& stateDirectory, const SimulatedUnit& unit,
                   std::string& error) {
    const std::string path = unitStatePath(stateDirectory, unit.spec().mac);
    const std::string temporary = path + ".tmp";
    const std::string content = serializeUnitState(unit);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = temporary + ": " + std::strerror(errno);
        return false;
    }
    const bool written = writeAll(fd, content) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(written ? errno : savedErrno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<UnitState> loadUnitState(const std::string& stateDirectory, const UnitSpec& spec,
                                       std::string& error) {
    const std::string path = unitStatePath(stateDirectory, spec.mac);
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << file.rdbuf();
    auto state = parseUnitState(content.str(), spec);
    if (!state) {
        error = path + ": not a saved state of this product and version; starting afresh";
    }
    return state;
}

} // namespace morvik::sim
