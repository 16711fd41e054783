#include "cli/CliOptions.h"

#include "stores/CredentialLog.h"
#include "text/Ipv4Text.h"

#include <map>
#include <set>

namespace morvik::cli {

namespace {

struct Usage {
    std::string message;
};

std::optional<int> parseMilliseconds(const std::string& text) {
    if (text.empty() || text.size() > 7) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value > kMaxMilliseconds) {
        return std::nullopt;
    }
    return value;
}

std::optional<CommandKind> commandOf(const std::string& word) {
    static const std::map<std::string, CommandKind> commands{
        {"probe", CommandKind::Probe},
        {"read", CommandKind::Read},
        {"set", CommandKind::Set},
        {"load", CommandKind::Load},
        {"save", CommandKind::Save},
        {"reboot", CommandKind::Reboot},
        {"interfaces", CommandKind::Interfaces},
        {"diff", CommandKind::Diff},
    };
    const auto found = commands.find(word);
    if (found == commands.end()) {
        return std::nullopt;
    }
    return found->second;
}

// Options that take a value, and whether they do.
enum class OptionKind { Flag, Valued };

const std::map<std::string, OptionKind>& knownOptions() {
    // clang-format off
    static const std::map<std::string, OptionKind> options{
        {"--data-dir", OptionKind::Valued},  {"--port", OptionKind::Valued},
        {"--broadcast", OptionKind::Valued}, {"--host-address", OptionKind::Valued},
        {"--wait", OptionKind::Valued},      {"--timeout", OptionKind::Valued},
        {"--id", OptionKind::Valued},        {"--password", OptionKind::Valued},
        {"--group", OptionKind::Valued},     {"--json", OptionKind::Flag},
        {"--yes", OptionKind::Flag},         {"--reboot", OptionKind::Flag},
        {"--verbose", OptionKind::Flag},     {"--help", OptionKind::Flag},
        {"--version", OptionKind::Flag},     {"--dry-run", OptionKind::Flag},
        {"--backup", OptionKind::Valued},    {"--skip", OptionKind::Valued},
        {"--pace", OptionKind::Valued},      {"--retries", OptionKind::Valued},
        {"--login-file", OptionKind::Valued},
    };
    // clang-format on
    return options;
}

// "1.1.1,0.1.1": every address once, none empty.
std::vector<std::string> splitSkipList(const std::string& value) {
    std::vector<std::string> addresses;
    std::set<std::string> seen;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = value.find(',', start);
        std::string address = value.substr(start, comma - start);
        if (address.empty()) {
            throw Usage{"--skip needs parameter addresses separated by commas, not \"" + value +
                        "\""};
        }
        if (seen.insert(address).second) {
            addresses.push_back(std::move(address));
        }
        if (comma == std::string::npos) {
            return addresses;
        }
        start = comma + 1;
    }
}

// Hand-written on purpose: CLI11 (2.1) takes the word after "--password=" as the password,
// accepts "--json=true" and reads "-5" as a unit instead of refusing an unknown option.
class Parser {
public:
    explicit Parser(std::span<const std::string> arguments) : arguments_(arguments) {}

    ParsedCommandLine run() {
        ParsedCommandLine result;
        try {
            collect();
            if (help_) {
                result.outcome = ParsedCommandLine::Outcome::Help;
                return result;
            }
            if (version_) {
                result.outcome = ParsedCommandLine::Outcome::Version;
                return result;
            }
            finish();
            result.outcome = ParsedCommandLine::Outcome::Run;
            result.options = std::move(options_);
        } catch (const Usage& usage) {
            result.outcome = ParsedCommandLine::Outcome::UsageError;
            result.error = usage.message;
        }
        return result;
    }

private:
    void collect() {
        bool optionsEnded = false;
        for (std::size_t i = 0; i < arguments_.size(); ++i) {
            const std::string& argument = arguments_[i];
            const bool looksLikeOption = argument.size() > 1 && argument[0] == '-';
            if (optionsEnded || !looksLikeOption) {
                positionals_.push_back(argument);
                continue;
            }
            if (argument == "--") {
                optionsEnded = true;
                continue;
            }
            if (argument == "-h") {
                help_ = true;
                continue;
            }
            if (argument.rfind("--", 0) != 0) {
                throw Usage{"unknown option " + argument};
            }
            std::string name = argument;
            std::optional<std::string> value;
            if (const auto equals = argument.find('='); equals != std::string::npos) {
                name = argument.substr(0, equals);
                value = argument.substr(equals + 1);
            }
            const auto known = knownOptions().find(name);
            if (known == knownOptions().end()) {
                throw Usage{"unknown option " + name};
            }
            if (known->second == OptionKind::Flag) {
                if (value) {
                    throw Usage{name + " takes no value"};
                }
                flag(name);
                continue;
            }
            if (!value) {
                if (i + 1 >= arguments_.size()) {
                    throw Usage{name + " needs a value"};
                }
                value = arguments_[++i];
            }
            valued(name, *value);
        }
    }

    void flag(const std::string& name) {
        if (name == "--json") {
            options_.json = true;
        } else if (name == "--yes") {
            options_.yes = true;
        } else if (name == "--reboot") {
            options_.reboot = true;
        } else if (name == "--verbose") {
            options_.verbose = true;
        } else if (name == "--help") {
            help_ = true;
        } else if (name == "--version") {
            version_ = true;
        } else if (name == "--dry-run") {
            options_.dryRun = true;
        }
    }

    void valued(const std::string& name, const std::string& value) {
        if (!seen_.insert(name).second) {
            throw Usage{name + " given twice"};
        }
        if (name == "--data-dir") {
            if (value.empty()) {
                throw Usage{"--data-dir needs a directory"};
            }
            options_.dataDirectory = value;
        } else if (name == "--port") {
            options_.port = parsePortNumber(value);
            if (!options_.port) {
                throw Usage{"--port needs a port number from 1 to 65535, not \"" + value + "\""};
            }
        } else if (name == "--broadcast" || name == "--host-address") {
            if (!parseIpv4(value)) {
                throw Usage{name + " needs a dotted IPv4 address, not \"" + value + "\""};
            }
            (name == "--broadcast" ? options_.broadcastAddress : options_.hostAddress) = value;
        } else if (name == "--wait" || name == "--timeout") {
            const auto milliseconds = parseMilliseconds(value);
            if (!milliseconds) {
                throw Usage{name + " needs milliseconds from 0 to " +
                            std::to_string(kMaxMilliseconds) + ", not \"" + value + "\""};
            }
            (name == "--wait" ? options_.waitMs : options_.timeoutMs) = *milliseconds;
        } else if (name == "--id") {
            loginId_ = value;
        } else if (name == "--password") {
            password_ = value;
        } else if (name == "--login-file") {
            if (value.empty()) {
                throw Usage{"--login-file needs a file (\"-\" for standard input)"};
            }
            options_.loginFile = value;
        } else if (name == "--group") {
            options_.group = value;
        } else if (name == "--backup") {
            if (value.empty()) {
                throw Usage{"--backup needs a directory"};
            }
            options_.backup = value;
        } else if (name == "--skip") {
            options_.skip = splitSkipList(value);
        } else if (name == "--pace") {
            options_.paceMs = parseMilliseconds(value);
            if (!options_.paceMs || *options_.paceMs > kMaxPaceMs) {
                throw Usage{"--pace needs milliseconds from 0 to " + std::to_string(kMaxPaceMs) +
                            ", not \"" + value + "\""};
            }
        } else if (name == "--retries") {
            options_.retries = parseMilliseconds(value);
            if (!options_.retries || *options_.retries > kMaxRetries) {
                throw Usage{"--retries needs a count from 0 to " + std::to_string(kMaxRetries) +
                            ", not \"" + value + "\""};
            }
        }
    }

    void finish() {
        if (loginId_.has_value() != password_.has_value()) {
            throw Usage{"--id and --password go together"};
        }
        if (loginId_ && (loginId_->size() > CredentialLog::kMaxTokenLength ||
                         password_->size() > CredentialLog::kMaxTokenLength)) {
            throw Usage{"--id and --password take at most " +
                        std::to_string(CredentialLog::kMaxTokenLength) +
                        " characters each: the credential log keeps no more"};
        }
        if (loginId_) {
            options_.credentials = Credentials{*loginId_, *password_};
        }
        if (loginId_ && options_.loginFile) {
            throw Usage{"--login-file replaces --id and --password: give one or the other"};
        }
        if (positionals_.empty()) {
            throw Usage{"no command given (probe, read, set, load, save, diff or reboot)"};
        }
        const auto command = commandOf(positionals_.front());
        if (!command) {
            throw Usage{"unknown command \"" + positionals_.front() + "\""};
        }
        options_.command = *command;
        std::vector<std::string> rest(positionals_.begin() + 1, positionals_.end());

        if (options_.group && options_.command != CommandKind::Read) {
            throw Usage{"--group belongs to the read command"};
        }
        if (options_.reboot && options_.command != CommandKind::Set &&
            options_.command != CommandKind::Load) {
            throw Usage{"--reboot belongs to the set and load commands"};
        }
        const bool writes =
            options_.command == CommandKind::Set || options_.command == CommandKind::Load;
        if (options_.dryRun && !writes) {
            throw Usage{"--dry-run belongs to the set and load commands"};
        }
        if (options_.backup && !writes) {
            throw Usage{"--backup belongs to the set and load commands"};
        }
        if (!options_.skip.empty() && options_.command != CommandKind::Load &&
            options_.command != CommandKind::Diff) {
            throw Usage{"--skip belongs to the load and diff commands"};
        }
        if (options_.dryRun && options_.reboot) {
            throw Usage{"--dry-run writes nothing, so there is nothing to --reboot for"};
        }
        if (options_.group && options_.group->empty()) {
            throw Usage{"--group needs a class group name"};
        }

        switch (options_.command) {
        case CommandKind::Probe:
        case CommandKind::Interfaces:
            if (!rest.empty()) {
                throw Usage{commandName(options_.command) + " takes no units"};
            }
            break;
        case CommandKind::Read:
        case CommandKind::Reboot:
            options_.units = std::move(rest);
            break;
        case CommandKind::Set:
            splitAssignments(std::move(rest));
            break;
        case CommandKind::Load:
        case CommandKind::Diff:
            if (rest.size() < 2) {
                throw Usage{commandName(options_.command) + " needs UNIT... FILE.cnf"};
            }
            options_.file = rest.back();
            rest.pop_back();
            options_.units = std::move(rest);
            break;
        case CommandKind::Save:
            if (rest.size() != 2) {
                throw Usage{"save needs exactly one UNIT and FILE.cnf"};
            }
            options_.units = {rest[0]};
            options_.file = rest[1];
            if (options_.units.front() == "all") {
                throw Usage{"save reads one unit; \"all\" cannot be saved to one file"};
            }
            break;
        }
        if (options_.command != CommandKind::Probe && options_.command != CommandKind::Interfaces) {
            checkUnits();
        }
        if ((options_.command == CommandKind::Load || options_.command == CommandKind::Save ||
             options_.command == CommandKind::Diff) &&
            options_.file.empty()) {
            throw Usage{"the configuration file name is empty"};
        }
    }

    // UNIT... then ADDRESS=TEXT...: the first word with "=" starts the assignments.
    void splitAssignments(std::vector<std::string> rest) {
        std::size_t i = 0;
        for (; i < rest.size() && rest[i].find('=') == std::string::npos; ++i) {
            options_.units.push_back(rest[i]);
        }
        for (; i < rest.size(); ++i) {
            const auto equals = rest[i].find('=');
            if (equals == std::string::npos) {
                throw Usage{"\"" + rest[i] +
                            "\" follows an assignment: units come before ADDRESS=TEXT"};
            }
            Assignment assignment{rest[i].substr(0, equals), rest[i].substr(equals + 1)};
            if (assignment.address.empty()) {
                throw Usage{"\"" + rest[i] + "\" names no parameter address"};
            }
            options_.assignments.push_back(std::move(assignment));
        }
        // The login file may hold the only values: a new login.
        if (options_.assignments.empty() && !options_.loginFile) {
            throw Usage{"set needs at least one ADDRESS=TEXT"};
        }
    }

    void checkUnits() {
        if (options_.units.empty()) {
            throw Usage{commandName(options_.command) + " needs at least one UNIT"};
        }
        for (const std::string& unit : options_.units) {
            if (unit.empty()) {
                throw Usage{"an empty UNIT was given"};
            }
            if (unit == "all" && options_.units.size() > 1) {
                throw Usage{"\"all\" stands alone: it already names every unit"};
            }
        }
    }

    std::span<const std::string> arguments_;
    std::vector<std::string> positionals_;
    std::set<std::string> seen_;
    CliOptions options_;
    std::optional<std::string> loginId_;
    std::optional<std::string> password_;
    bool help_ = false;
    bool version_ = false;
};

} // namespace

ParsedCommandLine parseCommandLine(std::span<const std::string> arguments) {
    return Parser(arguments).run();
}

EndpointSettings applyEndpointOverrides(EndpointSettings settings, const CliOptions& options) {
    if (options.port) {
        settings.devicePort = *options.port;
    }
    if (options.broadcastAddress) {
        settings.broadcastAddress = *options.broadcastAddress;
    }
    if (options.hostAddress) {
        settings.hostAddress = *options.hostAddress;
    }
    return settings;
}

std::string commandName(CommandKind command) {
    switch (command) {
    case CommandKind::Probe:
        return "probe";
    case CommandKind::Read:
        return "read";
    case CommandKind::Set:
        return "set";
    case CommandKind::Load:
        return "load";
    case CommandKind::Save:
        return "save";
    case CommandKind::Reboot:
        return "reboot";
    case CommandKind::Interfaces:
        return "interfaces";
    case CommandKind::Diff:
        return "diff";
    }
    return {};
}

} // namespace morvik::cli
