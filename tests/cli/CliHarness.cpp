#include "CliHarness.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <thread>

namespace morvik::testing {

namespace {

using Clock = std::chrono::steady_clock;

const std::string kPython = "/usr/bin/python3";

std::vector<std::string> splitWords(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

std::optional<std::vector<std::uint8_t>> hexBytes(const std::string& text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// The entries' addresses of a request body; stops at anything that does not fit.
std::vector<std::string> entryAddresses(std::span<const std::uint8_t> body, ByteOrder order) {
    std::vector<std::string> addresses;
    std::size_t at = 0;
    while (at < body.size()) {
        const std::size_t components = body[at];
        if (at + 1 + components + 2 > body.size()) {
            break;
        }
        std::string address;
        for (std::size_t c = 0; c < components; ++c) {
            address += (c == 0 ? "" : ".") + std::to_string(body[at + 1 + c]);
        }
        const std::size_t length = readUnsigned(body.subspan(at + 1 + components, 2), 2, order);
        addresses.push_back(address);
        at += 1 + components + 2 + length;
    }
    return addresses;
}

} // namespace

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

Json fleetUnit(const std::string& name, const std::string& mac, const std::string& ip,
               int productId, const std::string& version, Json faults) {
    Json unit = {{"name", name},           {"mac", mac},         {"ip", ip},
                 {"productId", productId}, {"version", version}, {"loginId", "admin"},
                 {"password", "quorvane"}};
    if (!faults.is_null()) {
        unit["faults"] = std::move(faults);
    }
    return unit;
}

std::vector<std::string> keysOf(const Json& object) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : object.items()) {
        keys.push_back(key);
    }
    return keys;
}

std::optional<Json> parseJsonDocument(const std::string& text) {
    Json document = Json::parse(text, nullptr, false);
    if (document.is_discarded()) {
        return std::nullopt;
    }
    return document;
}

std::string textOf(const Json& object, std::string_view key) {
    const auto member = object.find(std::string(key));
    return member == object.end() || !member->is_string() ? std::string()
                                                          : member->get<std::string>();
}

CliHarness::CliHarness(const std::vector<Json>& extraUnits, bool withDemoUnits,
                       const std::vector<std::pair<std::string, std::string>>& extraFiles) {
    std::string pattern = (std::filesystem::temp_directory_path() / "morvik-cli-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
        return;
    }
    directory_ = pattern;
    for (const auto& entry : std::filesystem::directory_iterator(MORVIK_DEMO_DATA_DIR)) {
        std::filesystem::copy(entry.path(), directory_ / entry.path().filename());
    }
    for (const auto& [name, content] : extraFiles) {
        std::ofstream(file(name), std::ios::binary) << content;
    }

    Json units = Json::array();
    if (withDemoUnits) {
        const Json demo = Json::parse(readWholeFile(file("fleet.json")), nullptr, false);
        EXPECT_TRUE(demo.is_object() && demo.contains("units"));
        if (demo.is_object() && demo.contains("units")) {
            units = demo.at("units");
        }
    }
    for (const Json& unit : extraUnits) {
        units.push_back(unit);
    }
    const Json fleet = {{"units", std::move(units)}};
    std::ofstream(file("test-fleet.json")) << fleet.dump(2);

    simulator_ = std::make_unique<BackgroundProcess>(
        MORVIK_SIM_PATH,
        std::vector<std::string>{"--data-dir", directory(), "--fleet", file("test-fleet.json"),
                                 "--port", "0", "--record", file("record.txt")},
        file("sim.out"));
    const Clock::time_point until = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < until && simulator_->running()) {
        const std::string output = readWholeFile(file("sim.out"));
        const auto at = output.find("ready port=");
        if (at != std::string::npos && output.find('\n', at) != std::string::npos) {
            port_ = static_cast<std::uint16_t>(std::stoi(output.substr(at + 11)));
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(port_, 0) << "the simulator did not start: " << readWholeFile(file("sim.out"));
}

CliHarness::~CliHarness() {
    if (simulator_) {
        EXPECT_EQ(simulator_->stop(), 0) << readWholeFile(file("sim.out"));
    }
    std::error_code ignored;
    if (!directory_.empty()) {
        std::filesystem::remove_all(directory_, ignored);
    }
}

ProcessResult CliHarness::cli(const std::vector<std::string>& arguments) const {
    return cliVia("exec \"$@\"", "sh", arguments);
}

ProcessResult CliHarness::cliVia(const std::string& runner, const std::string& argument,
                                 const std::vector<std::string>& arguments) const {
    std::vector<std::string> all{"-c", runner, argument, MORVIK_CLI_PATH};
    all.insert(all.end(), {"--data-dir", directory(), "--port", std::to_string(port_),
                           "--broadcast", "127.255.255.255", "--host-address", "127.0.0.1"});
    // Units named by name or IP wait for the whole probe window; on loopback every unit has
    // answered long before this one ends.
    if (std::find(arguments.begin(), arguments.end(), "--wait") == arguments.end()) {
        all.insert(all.end(), {"--wait", "500"});
    }
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runProcess("/bin/sh", all);
}

std::optional<Json> CliHarness::cliJson(const std::vector<std::string>& arguments,
                                        ProcessResult* result) const {
    std::vector<std::string> withJson = arguments;
    withJson.emplace_back("--json");
    ProcessResult run = cli(withJson);
    std::optional<Json> document;
    try {
        // RFC 8259 with no extensions: well-formed UTF-8, no trailing text, no comments.
        document = Json::parse(run.out);
    } catch (const Json::exception& error) {
        ADD_FAILURE() << "not JSON (" << error.what() << "): " << run.out
                      << "\nstderr: " << run.err;
    }
    // A second, independent reader: what scripts that drive the tool use.
    const std::string printed = file("printed.json");
    std::ofstream(printed, std::ios::binary) << run.out;
    const ProcessResult python =
        runProcess(kPython, {"-c",
                             "import json, sys\n"
                             "json.loads(open(sys.argv[1], 'rb').read().decode('utf-8', 'strict'))",
                             printed});
    EXPECT_EQ(python.exitCode, 0) << "Python's json refuses: " << python.err << "\n" << run.out;
    if (result != nullptr) {
        *result = std::move(run);
    }
    return document;
}

std::vector<RecordedFrame> CliHarness::framesTo(const std::string& mac, ByteOrder order) const {
    const std::string record = readWholeFile(file("record.txt"));
    std::vector<RecordedFrame> frames;
    std::istringstream lines(record.substr(std::min(recordOffset_, record.size())));
    for (std::string line; std::getline(lines, line);) {
        const auto words = splitWords(line);
        if (words.size() != 3 || words[0] != mac) {
            continue;
        }
        const auto bytes = hexBytes(words[2]);
        if (!bytes) {
            continue;
        }
        const auto frame = parseFrame(*bytes, order);
        if (!frame) {
            continue;
        }
        frames.push_back({mac, static_cast<Command>(frame->command),
                          entryAddresses(frame->body, order), *bytes});
    }
    return frames;
}

void CliHarness::forget() {
    recordOffset_ = readWholeFile(file("record.txt")).size();
}

void CliHarness::addCredentials(const std::string& mac, const std::string& loginId,
                                const std::string& password) const {
    std::ofstream(file("pwd.ini"), std::ios::app)
        << "\n[99]\nMAC : " << mac << " \nID : " << loginId << " \nPassword : " << password
        << " \n";
}

} // namespace morvik::testing
