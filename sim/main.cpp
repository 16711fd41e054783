// morvik-sim: simulated Quorvane units on UDP, for tests, benchmarks and demonstrations.

#include "protocol/EndpointSettings.h"
#include "sim/FleetFile.h"
#include "sim/Simulator.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kHelp = R"(NAME
    morvik-sim - simulated Quorvane units on UDP

SYNOPSIS
    morvik-sim --data-dir DIR --fleet FLEET.json [--port N] [--state-dir DIR]
               [--record FILE] [--verbose] [--allow-non-loopback]
    morvik-sim --help

DESCRIPTION
    Runs the units of a fleet file as real UDP peers of the Morvik tools. A socket bound to
    0.0.0.0:PORT takes probe requests (sent to the broadcast address, 127.255.255.255 on
    loopback) and long-header frames sent by broadcast, which go to the unit whose MAC they
    name. Each unit has its own socket bound to its address and PORT; frames sent to that
    address arrive there, and all of the unit's replies leave from it, to the address and port
    that the request came from.

    Each unit's description is found as the tools find it: the product name in DIR/prodid.ini
    under the product id written "%02d", then DIR/<name>_<major>.<minor>.dcf. Every parameter
    holds a value: the fleet file's initial value, else as many zero bytes as its size. A unit
    whose product has no description answers probes and checks its login, but has no
    parameters.

    A unit answers a probe with one probe reply (short header for address mode 1, long header
    with the mode byte otherwise). It takes parameter frames whose checksum is right, and
    answers a wrong ID or password with an ErrorReply. A read of everything is answered with
    the range "0" when it fits one datagram, else with class ranges "N.0" and single entries,
    in as many ReadReply datagrams (each at most 1500 bytes, all with the request's tag) as it
    takes; a read of single parameters gets single entries, unknown addresses left out. A write
    stores every value of the right length at a known address and is acknowledged; a written
    login ID (address "2...1") or password ("2...2") becomes the unit's login once the
    acknowledgement, still carrying the old login, has been sent. A reboot is acknowledged.
    Replies follow the unit's byte order: product id 50 and above most significant byte first.

    Units talk only to peers on 127.0.0.0/8 and must have addresses there, unless
    --allow-non-loopback is given. The simulator itself never broadcasts.

OPTIONS
    --data-dir DIR      where prodid.ini and the .dcf files are (default: .)
    --fleet FILE        the fleet file (see FLEET FILE); required
    --port N            UDP port of the units, 0 for any free one (default: MORVIK_DEVICE_PORT,
                        else 2002)
    --state-dir DIR     keep each unit's values and login in DIR/<MAC>.json, written
                        atomically after every write, and start from them next time
    --record FILE       append one line per received datagram to FILE, flushed at once:
                        <unit MAC or -> <source address>:<port> <datagram in hex>
    --verbose           log what every unit receives and answers on standard error
    --allow-non-loopback
                        allow units and peers outside 127.0.0.0/8; only inside a network
                        namespace of your own, where nothing can leave the machine
    --help              this text

    Once every socket is bound, "ready port=N" is printed on standard output. SIGINT and
    SIGTERM end the simulator cleanly (exit status 0). Exit status 1: the fleet or a socket
    could not be set up; 2: wrong usage.

FLEET FILE
    A JSON object with "units" (an array of units) and/or "generate" (an array of unit
    series). Unknown keys, and keys given twice in one object, are errors. The file is UTF-8;
    a unit holds one byte per character, so texts may use U+0000..U+00FF (Latin-1), and their
    lengths count those bytes.

    A unit:
      "name"        device name, at most 255 bytes (default "")
      "mac"         "02:4D:56:00:00:01" (":" or "-", either case); required, unique
      "ip"          its address, unique (default 127.77.0.<position + 1>)
      "productId"   0..255; required
      "version"     "major.minor", each 0..255; required
      "addressMode" 0..255 (default 1: short header; otherwise long header with this byte)
      "loginId", "password"
                    the login the unit checks (default ""); the login parameters
                    (addresses "2.x.1" and "2.x.2") always hold them
      "values"      {"address": "text"}: initial values as the value column shows them,
                    converted by the parameter's value type
      "rawValues"   {"address": "0a0b0c"}: initial values as bytes, exactly the size
      "faults"      {"badChecksum": true}      every reply carries a wrong checksum
                    {"noAnswer": true}         parameter requests ignored, probes answered
                    {"lateAnswerMs": 500}      every reply is sent this much later
                    {"duplicateAnswer": true}  every reply datagram is sent twice
                    {"oversizedProbeReply": true}
                                               the probe reply is padded to 128 bytes
                    {"errorReply": true}       ErrorReply to every parameter request
                    {"lossPercent": 5, "lossSeed": 7}
                                               that share of parameter frames is lost each
                                               way (requests and replies; never probes),
                                               drawn from the seed (default 1)

    A series of generated units:
      {"template": {unit without "mac" and "ip"}, "count": 700,
       "ipBase": "127.80.0.1", "macBase": "02:4D:56:10:00:01"}
    Unit n (from 1) gets ipBase + n - 1 and macBase + n - 1; "{n}" in the template's name
    (else "-n" appended) and "{n}" and "{ip}" in its text values are replaced.

EXAMPLE
    morvik-sim --data-dir data/demo --fleet data/demo/fleet.json --port 2002 &
    MORVIK_DEVICE_PORT=2002 MORVIK_BROADCAST_ADDRESS=127.255.255.255 \
        MORVIK_HOST_ADDRESS=127.0.0.1 morvik-cli --data-dir data/demo probe
)";

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void requestStop(int) {
    stopRequested.store(true);
}

struct Arguments {
    morvik::sim::SimulatorOptions options;
    std::string fleetPath;
    bool verbose = false;
    bool help = false;
};

// Options as "--name value" or "--name=value". Nothing (with a message) on a mistake.
std::optional<Arguments> parseArguments(const std::vector<std::string>& words) {
    Arguments arguments;
    arguments.options.port = morvik::EndpointSettings::fromEnvironment().devicePort;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string name = words[i];
        std::optional<std::string> inlineValue;
        if (const auto equals = name.find('=');
            name.starts_with("--") && equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < words.size()) {
                return words[++i];
            }
            std::cerr << "morvik-sim: " << name << " needs a value\n";
            return std::nullopt;
        };
        if (name == "--help" || name == "-h") {
            arguments.help = true;
        } else if (name == "--verbose") {
            arguments.verbose = true;
        } else if (name == "--allow-non-loopback") {
            arguments.options.allowNonLoopback = true;
        } else if (name == "--data-dir" || name == "--fleet" || name == "--state-dir" ||
                   name == "--record" || name == "--port") {
            const auto text = value();
            if (!text) {
                return std::nullopt;
            }
            if (name == "--data-dir") {
                arguments.options.dataDirectory = *text;
            } else if (name == "--fleet") {
                arguments.fleetPath = *text;
            } else if (name == "--state-dir") {
                arguments.options.stateDirectory = *text;
            } else if (name == "--record") {
                arguments.options.recordPath = *text;
            } else if (*text == "0") {
                arguments.options.port = 0;
            } else if (const auto port = morvik::parsePortNumber(*text)) {
                arguments.options.port = *port;
            } else {
                std::cerr << "morvik-sim: --port takes a number 0..65535, not " << *text << "\n";
                return std::nullopt;
            }
        } else {
            std::cerr << "morvik-sim: unknown argument " << words[i] << "\n";
            return std::nullopt;
        }
    }
    if (!arguments.help && arguments.fleetPath.empty()) {
        std::cerr << "morvik-sim: --fleet FILE is required\n";
        return std::nullopt;
    }
    return arguments;
}

// A fleet of hundreds of units needs a descriptor per unit.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    auto arguments = parseArguments(words);
    if (!arguments) {
        std::cerr << "Try morvik-sim --help.\n";
        return kExitUsage;
    }
    if (arguments->help) {
        std::cout << kHelp;
        return kExitOk;
    }
    if (arguments->verbose) {
        arguments->options.log = [](std::string_view line) {
            std::cerr << "morvik-sim: " << line << "\n";
        };
    }

    std::string error;
    const auto fleet = morvik::sim::loadFleetFile(
        arguments->fleetPath, error, {.allowNonLoopback = arguments->options.allowNonLoopback});
    if (!fleet) {
        std::cerr << "morvik-sim: " << error << "\n";
        return kExitFailure;
    }
    raiseDescriptorLimit();

    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    morvik::sim::Simulator simulator(arguments->options);
    if (!simulator.start(*fleet, error)) {
        std::cerr << "morvik-sim: " << error << "\n";
        return kExitFailure;
    }
    std::cout << "ready port=" << simulator.port() << std::endl;
    simulator.run(stopRequested);
    return kExitOk;
}
