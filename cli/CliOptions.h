#pragma once

#include "parameters/Dialogs.h"
#include "protocol/EndpointSettings.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morvik::cli {

enum class CommandKind { Probe, Read, Set, Load, Save, Reboot, Interfaces, Diff };

// ADDRESS=TEXT of the set command: TEXT exactly as the value column would hold it.
struct Assignment {
    std::string address;
    std::string text;
    friend bool operator==(const Assignment&, const Assignment&) = default;
};

inline constexpr int kDefaultWaitMs = 2000;
inline constexpr int kDefaultTimeoutMs = 3000;
// Longer waits than an hour are typing mistakes, not plans.
inline constexpr int kMaxMilliseconds = 3'600'000;
inline constexpr int kMaxPaceMs = 10'000;
inline constexpr int kMaxRetries = 10;

struct CliOptions {
    std::string dataDirectory; // empty: the current directory
    std::optional<std::uint16_t> port;
    std::optional<std::string> broadcastAddress;
    std::optional<std::string> hostAddress;
    int waitMs = kDefaultWaitMs;
    int timeoutMs = kDefaultTimeoutMs;
    std::optional<Credentials> credentials;
    std::optional<std::string> loginFile; // --login-file: read by applyLoginFile
    // set: a new login for the units' login ID and password parameters (from the login file).
    std::optional<std::string> newLoginId;
    std::optional<std::string> newLoginPassword;
    bool json = false;
    bool yes = false;
    bool reboot = false;
    bool verbose = false;
    bool dryRun = false;               // set, load: everything up to the write, nothing written
    std::optional<std::string> backup; // set, load: each unit's values saved here first
    std::vector<std::string> skip;     // load, diff: addresses left as the units hold them
    std::optional<int> paceMs;         // a fixed pause per unit instead of the window
    std::optional<int> retries;        // repeats of a safe request that got no answer

    CommandKind command = CommandKind::Probe;
    std::vector<std::string> units; // as typed; "all" stands alone
    std::optional<std::string> group;
    std::vector<Assignment> assignments;
    std::string file;
};

struct ParsedCommandLine {
    enum class Outcome { Run, Help, Version, UsageError };
    Outcome outcome = Outcome::UsageError;
    CliOptions options;
    std::string error; // for UsageError: one line naming what is wrong
};

// The arguments after the program name. Options may stand before or after the command; "--"
// ends the options. Only the syntax is checked here: units are matched after the probe.
ParsedCommandLine parseCommandLine(std::span<const std::string> arguments);

// The environment's settings with the command line's overrides on top.
EndpointSettings applyEndpointOverrides(EndpointSettings fromEnvironment,
                                        const CliOptions& options);

std::string commandName(CommandKind command);

} // namespace morvik::cli
