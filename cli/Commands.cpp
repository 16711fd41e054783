#include "cli/CommandRun.h"
#include "cli/ConfigurationHeaderCheck.h"
#include "cli/CostReport.h"
#include "cli/Terminal.h"
#include "stores/SafeFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <utility>

// The run from its checks to the command it runs.

namespace morvik::cli {

CommandRun::CommandRun(const CliOptions& options, std::ostream& out, std::ostream& errors)
    : options_(options), out_(out), interactive_(standardInputIsTerminal()),
      dialogs_({options.yes, interactive_, options.json, options.credentials}, errors) {}

int CommandRun::run() {
    const Clock::time_point start = Clock::now();
    const int status = saveCollectedLogins(dispatch());
    if (options_.json && !documentPrinted_) {
        // Stopped before the operation: the document says why.
        printDocument(failureJson(dialogs_.problems()));
    }
    if (options_.verbose) {
        reportCost(dialogs_, traffic_, Clock::now() - start,
                   runBound(options_.waitMs, options_.timeoutMs, selection_.size(), traffic_));
    }
    return status;
}

// The logins that units accepted, recorded in one save at the end of the run; one that
// could not be recorded fails a run that went well otherwise.
int CommandRun::saveCollectedLogins(int status) {
    if (!driver_) {
        return status;
    }
    driver_->session().saveCollectedLogins();
    return status == kExitSuccess && driver_->credentialLogFailed() ? kExitUnitFailed : status;
}

void CommandRun::printDocument(const Json& document) {
    out_ << jsonDocument(document) << '\n';
    documentPrinted_ = true;
}

int CommandRun::dispatch() {
    if (const int status = checkBeforeProbing(); status != kExitSuccess) {
        return status;
    }
    endpoints_ = applyEndpointOverrides(EndpointSettings::fromEnvironment(), options_);
    if (options_.command == CommandKind::Probe) {
        return probeCommand();
    }
    if (options_.command == CommandKind::Interfaces) {
        return interfacesCommand();
    }
    if (const int status = selectUnits(); status != kExitSuccess) {
        return status;
    }
    if (options_.command == CommandKind::Load || options_.command == CommandKind::Diff) {
        notForTheFile_ = unitsTheFileIsNotFor();
    }
    if (const int status = checkCredentials(); status != kExitSuccess) {
        return status;
    }
    SessionDriver::Settings settings;
    settings.dataDirectory = dataDirectory_;
    settings.endpoints = endpoints_;
    settings.timeout = std::chrono::milliseconds(options_.timeoutMs);
    settings.credentials = options_.credentials;
    settings.interactive = interactive_;
    if (options_.paceMs) {
        settings.pace = std::chrono::milliseconds(*options_.paceMs);
    }
    settings.retries = options_.retries.value_or(SessionDriver::kDefaultRetries);
    driver_ = std::make_unique<SessionDriver>(std::move(settings), dialogs_, traffic_);
    if (!driver_->open()) {
        dialogs_.note("cannot open a UDP socket for the parameter requests");
        return kExitUnitFailed;
    }
    // A diff or a dry run leaves pwd.ini as it is, too.
    const bool writesNothing = options_.command == CommandKind::Diff || options_.dryRun;
    driver_->session().setLoginRecording(writesNothing
                                             ? ParameterSession::LoginRecording::Off
                                             : ParameterSession::LoginRecording::Collected);
    switch (options_.command) {
    case CommandKind::Read:
        return readCommand();
    case CommandKind::Set:
        return setCommand();
    case CommandKind::Load:
        return loadCommand();
    case CommandKind::Save:
        return saveCommand();
    case CommandKind::Reboot:
        return rebootCommand();
    case CommandKind::Diff:
        return diffCommand();
    case CommandKind::Probe:
    case CommandKind::Interfaces:
        break;
    }
    return kExitSuccess;
}

int CommandRun::usage(const std::string& text) {
    dialogs_.note(text);
    return kExitUsage;
}

int CommandRun::checkBeforeProbing() {
    std::error_code error;
    if (options_.dataDirectory.empty()) {
        dataDirectory_ = std::filesystem::current_path(error).string();
    } else {
        dataDirectory_ = options_.dataDirectory;
        if (!std::filesystem::is_directory(dataDirectory_, error)) {
            return usage("--data-dir " + dataDirectory_ + " is not a directory");
        }
    }
    // A dry run writes nothing, so there is nothing to confirm.
    const bool asksConfirmation = !options_.dryRun && (options_.command == CommandKind::Set ||
                                                       options_.command == CommandKind::Load ||
                                                       options_.command == CommandKind::Reboot);
    if (asksConfirmation && !options_.yes && !interactive_) {
        return usage(commandName(options_.command) +
                     " asks for confirmation: give --yes (standard input is not a "
                     "terminal)");
    }
    const bool readsFile =
        options_.command == CommandKind::Load || options_.command == CommandKind::Diff;
    if (readsFile) {
        auto header = readConfigurationHeader(options_.file);
        if (const auto* why = std::get_if<std::string>(&header)) {
            return usage("cannot read the configuration file " + options_.file + ": " + *why);
        }
        fileHeader_ = std::get<ConfigurationHeader>(std::move(header));
    }
    if (options_.command == CommandKind::Save) {
        if (const std::string why = whyNotReplaceable(options_.file); !why.empty()) {
            return usage("cannot write the configuration file " + options_.file + ": " + why);
        }
    }
    if (options_.backup && !options_.dryRun) {
        std::filesystem::create_directories(*options_.backup, error);
        if (error || !std::filesystem::is_directory(*options_.backup, error)) {
            return usage("cannot make the backup folder " + *options_.backup + ": " +
                         (error ? error.message() : std::string("not a folder")));
        }
        if (::access(options_.backup->c_str(), W_OK | X_OK) != 0) {
            return usage("cannot write into the backup folder " + *options_.backup + ": " +
                         std::strerror(errno));
        }
    }
    return kExitSuccess;
}

int runCommand(const CliOptions& options, std::ostream& out, std::ostream& errors) {
    return CommandRun(options, out, errors).run();
}

} // namespace morvik::cli
