#include "sim/UnitStateFile.h"

#include "json/Json.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace morvik::sim {

namespace {

std::string versionText(const UnitSpec& spec) {
    return std::to_string(spec.major) + "." + std::to_string(spec.minor);
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::optional<std::string> textFromHex(const json::Value* value) {
    if (value == nullptr || !value->isString()) {
        return std::nullopt;
    }
    const auto bytes = parseHexBytes(value->asString());
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
    json::Value values = json::Value::Object{};
    for (const auto& [address, bytes] : state.values) {
        values.set(address, formatHexBytes(bytes));
    }
    json::Value document = json::Value::Object{};
    document.set("mac", unit.macText());
    document.set("productId", unit.spec().productId);
    document.set("version", versionText(unit.spec()));
    document.set("loginIdHex", formatHexBytes(bytesOf(state.loginId)));
    document.set("passwordHex", formatHexBytes(bytesOf(state.password)));
    document.set("values", std::move(values));
    return document.serialize(true) + "\n";
}

std::optional<UnitState> parseUnitState(std::string_view text, const UnitSpec& spec) {
    const auto document = json::parse(text);
    if (!document || !document->isObject()) {
        return std::nullopt;
    }
    const json::Value* productId = document->find("productId");
    const json::Value* version = document->find("version");
    if (productId == nullptr || productId->asInteger(-1) != spec.productId || version == nullptr ||
        version->asString() != versionText(spec)) {
        return std::nullopt;
    }
    UnitState state;
    auto loginId = textFromHex(document->find("loginIdHex"));
    auto password = textFromHex(document->find("passwordHex"));
    const json::Value* values = document->find("values");
    if (!loginId || !password || values == nullptr || !values->isObject()) {
        return std::nullopt;
    }
    state.loginId = std::move(*loginId);
    state.password = std::move(*password);
    for (const auto& [address, item] : values->asObject()) {
        auto bytes = parseHexBytes(item.asString());
        if (!item.isString() || !bytes) {
            return std::nullopt;
        }
        state.values.emplace_back(address, std::move(*bytes));
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
