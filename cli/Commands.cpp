#include "cli/Commands.h"

#include "cli/ConfigurationHeaderCheck.h"
#include "cli/ConsoleDialogs.h"
#include "cli/InterfacesReport.h"
#include "cli/Output.h"
#include "cli/Probe.h"
#include "cli/SessionDriver.h"
#include "cli/Terminal.h"
#include "cli/UnitMatching.h"
#include "config/ConfigurationFile.h"
#include "description/LoginParameters.h"
#include "description/ValueComparison.h"
#include "protocol/MacAddress.h"
#include "protocol/NoAnswerHint.h"
#include "stores/CredentialLog.h"
#include "stores/SafeFile.h"
#include "text/WholeFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace morvik::cli {

namespace {

std::string unitLabel(const DeviceRecord& unit) {
    return unit.mac + " (" + (unit.name.empty() ? unit.ip : unit.name + ", " + unit.ip) + ")";
}

std::string joined(const std::vector<std::string>& words, std::string_view separator) {
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty()) {
            text += separator;
        }
        text += word;
    }
    return text;
}

long long milliseconds(Clock::duration duration) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

// A probe burst takes a few milliseconds: whole milliseconds would hide it.
std::string fractionalMilliseconds(Clock::duration duration) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.3f",
                  std::chrono::duration<double, std::milli>(duration).count());
    return text.data();
}

// Selected units that must agree on product, version and address mode to share one operation,
// in order of their first unit.
std::vector<std::vector<int>> groupsOfLikeUnits(const std::vector<DeviceRecord>& units) {
    std::vector<std::vector<int>> groups;
    std::map<std::tuple<std::string, std::string, std::string>, std::size_t> groupOf;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto key =
            std::make_tuple(units[i].productId, units[i].version, units[i].addressMode);
        const auto [found, added] = groupOf.emplace(key, groups.size());
        if (added) {
            groups.emplace_back();
        }
        groups[found->second].push_back(static_cast<int>(i));
    }
    return groups;
}

bool sameProduct(const DeviceRecord& a, const DeviceRecord& b) {
    return a.productId == b.productId && a.version == b.version;
}

// The desktop program's words for a configuration file of another product or version.
constexpr std::string_view kFileNotMatch = "Saved file not match. Wrong product id & version.";

std::vector<DeviceRecord> unitsAt(const std::vector<DeviceRecord>& units,
                                  const std::vector<int>& indices) {
    std::vector<DeviceRecord> chosen;
    chosen.reserve(indices.size());
    for (const int index : indices) {
        chosen.push_back(units[static_cast<std::size_t>(index)]);
    }
    return chosen;
}

// 20261208T091500Z: backups of several runs sort in time; a name taken in the same second
// gets a number (see createFileWithUniqueName).
std::string backupStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y%m%dT%H%M%SZ", &utc);
    return text.data();
}

std::string macFileName(std::string mac) {
    std::replace(mac.begin(), mac.end(), ':', '-');
    return mac;
}

// The value the read gave parameter `index`, "" when none.
std::string readValue(const ReadOutcome& read, int index) {
    const std::string* value = read.valueOf(index);
    return value != nullptr ? *value : std::string();
}

class CommandRun {
public:
    CommandRun(const CliOptions& options, std::ostream& out, std::ostream& errors)
        : options_(options), out_(out), interactive_(standardInputIsTerminal()),
          dialogs_({options.yes, interactive_, options.json, options.credentials}, errors) {}

    int run() {
        const Clock::time_point start = Clock::now();
        const int status = saveCollectedLogins(dispatch());
        if (options_.json && !documentPrinted_) {
            // Stopped before the operation: the document says why.
            printDocument(failureJson(dialogs_.problems()));
        }
        if (options_.verbose) {
            reportCost(Clock::now() - start);
        }
        return status;
    }

private:
    // The logins that units accepted, recorded in one save at the end of the run; one that
    // could not be recorded fails a run that went well otherwise.
    int saveCollectedLogins(int status) {
        if (!driver_) {
            return status;
        }
        driver_->session().saveCollectedLogins();
        return status == kExitSuccess && driver_->credentialLogFailed() ? kExitUnitFailed : status;
    }

    void printDocument(const Json& document) {
        out_ << jsonDocument(document) << '\n';
        documentPrinted_ = true;
    }

    int dispatch() {
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

    int usage(const std::string& text) {
        dialogs_.note(text);
        return kExitUsage;
    }

    int checkBeforeProbing() {
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

    std::optional<std::vector<ProbedUnit>>
    probe(const std::function<bool(const DeviceRecord&)>& enough) {
        auto outcome = probeUnits(endpoints_, std::chrono::milliseconds(options_.waitMs), dialogs_,
                                  traffic_, enough);
        if (!outcome) {
            dialogs_.note("cannot open a UDP socket for the probe");
            return std::nullopt;
        }
        for (const SameMacElsewhere& unit : outcome->sameMacElsewhere) {
            dialogs_.note(sameMacElsewhereNote(unit));
        }
        return std::move(outcome->units);
    }

    int probeCommand() {
        const auto units = probe({});
        if (!units) {
            return kExitUnitFailed;
        }
        reportChecksumErrors(*units, {});
        if (options_.json) {
            printDocument(probeJson(*units));
        } else {
            out_ << probeTable(*units);
        }
        if (units->empty()) {
            return noUnitAnswered("the probe");
        }
        return kExitSuccess;
    }

    // "Checksum Error!" for each unit whose probe reply had a bad checksum, naming it; only
    // for the units in `selected` (indices) when given.
    void reportChecksumErrors(const std::vector<ProbedUnit>& units,
                              const std::optional<std::vector<int>>& selected) {
        for (std::size_t i = 0; i < units.size(); ++i) {
            const bool asked = !selected || std::find(selected->begin(), selected->end(),
                                                      static_cast<int>(i)) != selected->end();
            if (asked && !units[i].checksumOk) {
                dialogs_.showMessage("Checksum Error! " + unitLabel(units[i].record), "Error");
            }
        }
    }

    int interfacesCommand() {
        const auto routes = broadcastRoutes(endpoints_, readLocalInterfaces());
        const LocalSubnetBasis basis = currentLocalSubnetBasis(endpoints_.hostAddress);
        if (options_.json) {
            printDocument(interfacesJson(routes, basis, endpoints_.devicePort));
        } else {
            out_ << interfacesText(routes, basis, endpoints_.devicePort);
        }
        return kExitSuccess;
    }

    // Nobody answered: a firewall is as likely as a network without units, so say which
    // networks were probed and what to let in.
    int noUnitAnswered(const std::string& what) {
        const std::string hint =
            noAnswerHint(what, broadcastRoutes(endpoints_, readLocalInterfaces()),
                         endpoints_.devicePort)
                .text();
        for (std::size_t start = 0; start < hint.size();) {
            const std::size_t end = hint.find('\n', start);
            dialogs_.note(std::string_view(hint).substr(start, end - start));
            start = end == std::string::npos ? hint.size() : end + 1;
        }
        return kExitNoAnswer;
    }

    int selectUnits() {
        const std::vector<UnitSpec> specs = parseUnitSpecs(options_.units);
        SpecAnswers answers(specs);
        const auto probed = probe([&](const DeviceRecord& listed) { return answers.take(listed); });
        if (!probed) {
            return kExitUnitFailed;
        }
        std::vector<DeviceRecord> records;
        for (const ProbedUnit& unit : *probed) {
            records.push_back(unit.record);
        }
        const UnitMatch match = matchUnits(specs, records);
        for (const std::string& word : match.unknown) {
            dialogs_.note("no unit answered as " + word + " within " +
                          std::to_string(options_.waitMs) + " ms");
        }
        for (const std::string& word : match.ambiguous) {
            std::vector<std::string> macs;
            for (const DeviceRecord& record : records) {
                if (matches(parseUnitSpec(word), record)) {
                    macs.push_back(record.mac);
                }
            }
            dialogs_.note(word + " names several units (" + joined(macs, ", ") +
                          "): name them by MAC");
        }
        if (probed->empty()) {
            return noUnitAnswered("the probe");
        }
        if (!match.ambiguous.empty()) {
            return kExitUnitFailed;
        }
        // A unit missing from the probe does not stop the others: it is reported with them.
        for (const std::string& word : match.unknown) {
            missing_.push_back(unitNamedBy(parseUnitSpec(word)));
        }
        if (match.selected.empty()) {
            dialogs_.note("no unit answered the probe within " + std::to_string(options_.waitMs) +
                          " ms");
            return kExitUnitFailed;
        }
        reportChecksumErrors(*probed, match.selected);
        selection_ = unitsAt(records, match.selected);
        selectsAll_ = std::any_of(specs.begin(), specs.end(), [](const UnitSpec& spec) {
            return spec.kind == UnitSpec::Kind::All;
        });
        return kExitSuccess;
    }

    // Without --id/--password and without a terminal nothing can answer the password prompt
    // for a unit that pwd.ini does not know: say so before anything is sent.
    int checkCredentials() {
        if (options_.credentials || interactive_) {
            return kExitSuccess;
        }
        CredentialLog log(dataDirectory_);
        log.loadWithoutCreating();
        std::vector<std::string> unknown;
        for (std::size_t i = 0; i < selection_.size(); ++i) {
            const DeviceRecord& unit = selection_[i];
            // A unit the configuration file is not for is not asked anything.
            const bool leftOut = i < notForTheFile_.size() && notForTheFile_[i];
            if (!leftOut && log.find(upperCaseMacText(unit.mac)) < 0) {
                unknown.push_back(unitLabel(unit));
            }
        }
        if (unknown.empty()) {
            return kExitSuccess;
        }
        dialogs_.note("pwd.ini has no login ID and password for " + joined(unknown, ", ") + " (" +
                      (std::filesystem::path(dataDirectory_) / "pwd.ini").string() +
                      "): give --id and --password");
        // A read of several units reads the ones it can and reports the others.
        if (options_.command == CommandKind::Read && unknown.size() < selection_.size()) {
            for (const DeviceRecord& unit : selection_) {
                if (log.find(upperCaseMacText(unit.mac)) < 0) {
                    withoutCredentials_.insert(unit.mac);
                }
            }
            return kExitSuccess;
        }
        return kExitCredentialsNeeded;
    }

    // A unit that a configuration file is not for is left alone; among the units of `all` (a
    // network of several products) that is no failure of the run, for a unit named on the
    // command line it is.
    bool isFine(UnitResult result) const {
        return result == UnitResult::Ok || (result == UnitResult::OtherProduct && selectsAll_);
    }

    int finalStatus(bool allSucceeded) {
        if (dialogs_.credentialsNeeded() || (driver_ && driver_->credentialsNeeded()) ||
            !withoutCredentials_.empty()) {
            return kExitCredentialsNeeded;
        }
        if (!allSucceeded && traffic_.requestsSent > 0 && traffic_.repliesReceived == 0) {
            return noUnitAnswered("the " + commandName(options_.command));
        }
        if (!allSucceeded ||
            (driver_ && (driver_->loginReadBackFailed() || driver_->credentialLogFailed()))) {
            return kExitUnitFailed;
        }
        return kExitSuccess;
    }

    void reportIncompleteRead(const DeviceRecord& unit, const ReadOutcome& outcome) {
        if (outcome.complete || outcome.refused) {
            return; // a refusal has been reported when it arrived
        }
        if (!outcome.sent) {
            dialogs_.note("nothing was sent to " + unitLabel(unit));
        } else if (outcome.checksumError) {
            dialogs_.note("a reply of " + unitLabel(unit) +
                          " failed its checksum and no valid one followed within " +
                          std::to_string(options_.timeoutMs) + " ms: its values were not taken");
        } else {
            dialogs_.note("no complete answer from " + unitLabel(unit) + " within " +
                          std::to_string(options_.timeoutMs) + " ms");
        }
    }

    UnitResult readFailure(const ReadOutcome& read) const {
        if (read.checksumError) {
            return UnitResult::ChecksumError;
        }
        // Refused with nothing to offer instead: what the unit needs is a login.
        if (read.refused && !options_.credentials && !interactive_) {
            return UnitResult::CredentialsNeeded;
        }
        return read.refused || !read.sent ? UnitResult::Error : UnitResult::NoAnswer;
    }

    UnitResult readResult(const ReadOutcome& read) const {
        return read.complete ? UnitResult::Ok : readFailure(read);
    }

    int readCommand() {
        std::vector<UnitRead> reads(selection_.size());
        std::vector<DeviceRecord> readable;
        std::vector<std::size_t> readableAt;
        for (std::size_t i = 0; i < selection_.size(); ++i) {
            reads[i].unit = selection_[i];
            if (withoutCredentials_.contains(selection_[i].mac)) {
                reads[i].result = UnitResult::CredentialsNeeded;
            } else {
                readable.push_back(selection_[i]);
                readableAt.push_back(i);
            }
        }
        const auto groups = groupsOfLikeUnits(readable);
        std::vector<std::optional<int>> classGroup(groups.size());
        std::vector<bool> refused(groups.size(), false);
        if (options_.group) {
            // Every kind of unit must have the group before anything is sent.
            for (std::size_t g = 0; g < groups.size(); ++g) {
                const auto units = unitsAt(readable, groups[g]);
                if (!driver_->prepare(units)) {
                    refused[g] = true;
                    continue;
                }
                const int index = driver_->findGroup(*options_.group);
                if (index < 0) {
                    return usage("product " + units.front().productId + " version " +
                                 units.front().version + " has no class group \"" +
                                 *options_.group +
                                 "\"; its groups: " + joined(driver_->groupNames(), ", "));
                }
                classGroup[g] = index;
            }
        }
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const auto units = unitsAt(readable, groups[g]);
            std::vector<ReadOutcome> outcomes(units.size());
            if (!refused[g]) {
                outcomes = driver_->read(units, classGroup[g]);
            }
            for (std::size_t i = 0; i < units.size(); ++i) {
                const std::size_t at = readableAt[static_cast<std::size_t>(groups[g][i])];
                reads[at].outcome = std::move(outcomes[i]);
                reads[at].result = readResult(reads[at].outcome);
            }
        }
        bool allComplete = true;
        for (const UnitRead& read : reads) {
            if (read.result != UnitResult::CredentialsNeeded || read.outcome.sent) {
                reportIncompleteRead(read.unit, read.outcome);
            }
            allComplete = allComplete && read.outcome.complete;
        }
        for (const DeviceRecord& unit : missing_) {
            reads.push_back({unit, {}, UnitResult::NoAnswer});
            allComplete = false;
        }
        if (options_.json) {
            writeReadJson(out_, reads);
            documentPrinted_ = true;
        } else {
            out_ << readTables(reads);
        }
        return finalStatus(allComplete);
    }

    // The write, then the reboot offer: accepted with --reboot for the units that took it.
    int writeAndReport(const std::vector<DeviceRecord>& units,
                       const std::vector<PlannedValue>& plan, std::vector<UnitOutcome> outcomes) {
        std::vector<DeviceRecord> written;
        writeUnits(units, plan, outcomes, written);
        return rebootAndReport(written, std::move(outcomes));
    }

    // Writes `plan` to `units`; their outcomes take the results, and the units that took the
    // write are added to `written`.
    void writeUnits(const std::vector<DeviceRecord>& units, const std::vector<PlannedValue>& plan,
                    std::vector<UnitOutcome>& outcomes, std::vector<DeviceRecord>& written) {
        // Units reached in different ways share no request: one write for each kind.
        for (const auto& group : groupsOfLikeUnits(units)) {
            const auto members = unitsAt(units, group);
            const std::vector<UnitResult> results = driver_->write(members, plan);
            for (std::size_t i = 0; i < members.size(); ++i) {
                for (UnitOutcome& outcome : outcomes) {
                    if (outcome.unit.mac == members[i].mac) {
                        outcome.result = results[i];
                    }
                }
                if (results[i] == UnitResult::Ok) {
                    written.push_back(members[i]);
                }
            }
        }
    }

    int rebootAndReport(const std::vector<DeviceRecord>& written,
                        std::vector<UnitOutcome> outcomes) {
        if (options_.reboot && !written.empty()) {
            rebootLikeUnits(written, outcomes, true);
        } else if (!written.empty() && !options_.json) {
            dialogs_.note("reboot the written units to apply the changes (--reboot, or the "
                          "reboot command)");
        }
        return reportResults(outcomes);
    }

    void rebootLikeUnits(const std::vector<DeviceRecord>& units, std::vector<UnitOutcome>& outcomes,
                         bool afterWrite) {
        for (const auto& group : groupsOfLikeUnits(units)) {
            const auto members = unitsAt(units, group);
            const std::vector<UnitResult> results = driver_->reboot(members);
            for (std::size_t i = 0; i < members.size(); ++i) {
                for (UnitOutcome& outcome : outcomes) {
                    if (outcome.unit.mac != members[i].mac) {
                        continue;
                    }
                    if (afterWrite) {
                        outcome.reboot = results[i];
                    } else {
                        outcome.result = results[i];
                    }
                }
            }
        }
    }

    int reportResults(std::vector<UnitOutcome> outcomes) {
        bool allOk = missing_.empty();
        for (const UnitOutcome& outcome : outcomes) {
            allOk = allOk && isFine(outcome.result) &&
                    (!outcome.reboot || *outcome.reboot == UnitResult::Ok);
            if (outcome.result == UnitResult::NoAnswer ||
                (outcome.reboot && *outcome.reboot == UnitResult::NoAnswer)) {
                dialogs_.note("no answer from " + unitLabel(outcome.unit) + " within " +
                              std::to_string(options_.timeoutMs) + " ms");
            }
        }
        for (const DeviceRecord& unit : missing_) {
            outcomes.push_back({unit, UnitResult::NoAnswer, std::nullopt});
        }
        if (options_.json) {
            printDocument(resultsJson(outcomes));
        } else {
            out_ << resultsTable(outcomes);
        }
        return finalStatus(allOk);
    }

    std::vector<UnitOutcome> pendingOutcomes(const std::vector<DeviceRecord>& units) const {
        std::vector<UnitOutcome> outcomes;
        for (const DeviceRecord& unit : units) {
            outcomes.push_back({unit, UnitResult::NoAnswer, std::nullopt});
        }
        return outcomes;
    }

    // The operation was refused before anything was sent (the session has said why).
    int refused(std::vector<UnitOutcome> outcomes, const std::vector<DeviceRecord>& units) {
        for (UnitOutcome& outcome : outcomes) {
            if (std::any_of(units.begin(), units.end(), [&](const DeviceRecord& unit) {
                    return unit.mac == outcome.unit.mac;
                })) {
                outcome.result = UnitResult::Error;
            }
        }
        return reportResults(outcomes);
    }

    int setCommand() {
        // An address names one parameter only within one product and version; units of one
        // kind reached in different ways (address modes) are written group by group. A
        // selection of several products is refused by the session, which says so.
        if (selection_.empty()) {
            return refused({}, selection_);
        }
        const std::vector<DeviceRecord> firstKind =
            unitsAt(selection_, groupsOfLikeUnits(selection_).front());
        const bool oneProduct =
            std::all_of(selection_.begin(), selection_.end(), [&](const DeviceRecord& unit) {
                return sameProduct(unit, firstKind.front());
            });
        if (!driver_->prepare(oneProduct ? firstKind : selection_)) {
            return refused(pendingOutcomes(selection_), selection_);
        }
        std::vector<Assignment> assignments = options_.assignments;
        if (const auto problem = addNewLogin(assignments)) {
            return usage(*problem);
        }
        std::vector<PlannedValue> plan;
        std::set<int> assigned;
        for (const Assignment& assignment : assignments) {
            const auto check = driver_->checkAssignment(assignment.address, assignment.text);
            if (check.parameter < 0) {
                return usage(check.problem);
            }
            if (!assigned.insert(check.parameter).second) {
                return usage(assignment.address + " is assigned twice");
            }
            plan.push_back({check.parameter, assignment.text});
        }
        if (!options_.dryRun && !options_.backup) {
            return writeAndReport(selection_, plan, pendingOutcomes(selection_));
        }
        // What the units hold is needed to show or keep it.
        WritePlan readPlan = readForPlan();
        readPlan.plans.assign(readPlan.answered.size(), plan);
        if (readPlan.answered.empty()) {
            return reportPlanFailure(readPlan);
        }
        return writePlans(readPlan);
    }

    // The new login of the login file, as values of the prepared description's login rows;
    // the problem when it has none.
    std::optional<std::string> addNewLogin(std::vector<Assignment>& assignments) const {
        const DescriptionSlot& description = driver_->session().currentDescription();
        const auto add = [&](const std::optional<std::string>& text,
                             bool (*isRow)(std::string_view),
                             const char* what) -> std::optional<std::string> {
            if (!text) {
                return std::nullopt;
            }
            for (int i = 0; i < description.rowCount(); ++i) {
                if (isRow(description.row(i)->address)) {
                    assignments.push_back({description.row(i)->address, *text});
                    return std::nullopt;
                }
            }
            return std::string("the units' description has no ") + what + " to set";
        };
        if (auto problem = add(options_.newLoginId, &isLoginIdAddress, "login ID (2.x.1)")) {
            return problem;
        }
        return add(options_.newLoginPassword, &isLoginPasswordAddress, "password (2.x.2)");
    }

    // The selection read, and for each unit that answered what is to be written to it.
    struct WritePlan {
        std::vector<UnitOutcome> outcomes;      // every selected unit, pending or failed
        std::vector<DeviceRecord> answered;     // the units read completely
        std::vector<ReadOutcome> answeredReads; // their values
        std::vector<std::vector<PlannedValue>> plans;
    };

    // Reads the selection, like units together; the units that did not answer completely get
    // their failure. Units marked in `leftOut` are not read: they are of another product.
    WritePlan readForPlan(const std::vector<bool>& leftOut = {}) {
        WritePlan plan;
        plan.outcomes = pendingOutcomes(selection_);
        std::vector<DeviceRecord> toRead;
        std::vector<std::size_t> readAt;
        for (std::size_t i = 0; i < selection_.size(); ++i) {
            if (i < leftOut.size() && leftOut[i]) {
                plan.outcomes[i].result = UnitResult::OtherProduct;
            } else {
                toRead.push_back(selection_[i]);
                readAt.push_back(i);
            }
        }
        std::vector<ReadOutcome> reads(selection_.size());
        for (const auto& group : groupsOfLikeUnits(toRead)) {
            std::vector<ReadOutcome> outcomes = driver_->read(unitsAt(toRead, group), std::nullopt);
            for (std::size_t i = 0; i < group.size(); ++i) {
                reads[readAt[static_cast<std::size_t>(group[i])]] = std::move(outcomes[i]);
            }
        }
        for (const std::size_t i : readAt) {
            reportIncompleteRead(selection_[i], reads[i]);
            if (reads[i].complete) {
                plan.answered.push_back(selection_[i]);
                plan.answeredReads.push_back(reads[i]);
            } else {
                plan.outcomes[i].result = readFailure(reads[i]);
            }
        }
        return plan;
    }

    // The file put into each group of like units that answered; nothing when it was refused.
    // The units share the file's product and version, so the plans name the parameters of
    // one description, the one prepared last.
    std::optional<std::vector<std::vector<PlannedValue>>> planEachKind(const WritePlan& plan) {
        std::vector<std::vector<PlannedValue>> plans(plan.answered.size());
        for (const auto& group : groupsOfLikeUnits(plan.answered)) {
            const std::vector<DeviceRecord> units = unitsAt(plan.answered, group);
            std::vector<ReadOutcome> reads;
            for (const int index : group) {
                reads.push_back(plan.answeredReads[static_cast<std::size_t>(index)]);
            }
            // The list laid out for these units' description, as the read left it for them.
            if (!driver_->prepare(units)) {
                return std::nullopt;
            }
            auto groupPlans = driver_->loadConfiguration(units, reads, options_.file);
            if (!groupPlans) {
                return std::nullopt;
            }
            for (std::size_t i = 0; i < group.size(); ++i) {
                plans[static_cast<std::size_t>(group[i])] = std::move((*groupPlans)[i]);
            }
        }
        return plans;
    }

    // Units of another product or version than the configuration file's, each named in a
    // note: a site's file goes to the units it is for.
    std::vector<bool> unitsTheFileIsNotFor() {
        std::vector<bool> leftOut(selection_.size(), false);
        const ConfigurationHeader* header = &*fileHeader_;
        bool anyNamedLeftOut = false;
        for (std::size_t i = 0; i < selection_.size(); ++i) {
            const DeviceRecord& unit = selection_[i];
            if (unit.productId == header->productId && unit.version == header->version) {
                continue;
            }
            if (!selectsAll_ && !std::exchange(anyNamedLeftOut, true)) {
                dialogs_.showMessage(kFileNotMatch, "Error");
            }
            leftOut[i] = true;
            dialogs_.note(options_.file + " is for product " + header->productId + " version " +
                          header->version + ": " + unitLabel(unit) + " (product " + unit.productId +
                          " version " + unit.version + ") is left out");
        }
        if (std::all_of(leftOut.begin(), leftOut.end(), [](bool out) { return out; })) {
            dialogs_.note("none of the units is of product " + header->productId + " version " +
                          header->version + ": nothing to compare");
        }
        return leftOut;
    }

    // The file compared with each unit's own values, by the rules of the load command, less
    // the --skip rows. A status when the run ends here.
    std::optional<int> planFromFile(WritePlan& plan) {
        if (plan.answered.empty()) {
            return reportPlanFailure(plan);
        }
        auto plans = planEachKind(plan);
        if (!plans) {
            dialogs_.note("the configuration file " + options_.file +
                          " was not taken: it changed or went while the units were read");
            for (UnitOutcome& outcome : plan.outcomes) {
                if (outcome.result == UnitResult::NoAnswer) {
                    outcome.result = UnitResult::Error;
                }
            }
            plan.answered.clear();
            return reportPlanFailure(plan);
        }
        std::set<int> skipped;
        for (const std::string& address : options_.skip) {
            const int parameter = driver_->session().findParameter(address);
            if (parameter < 0) {
                return usage("--skip " + address + ": the description has no parameter there");
            }
            skipped.insert(parameter);
        }
        for (std::vector<PlannedValue>& unitPlan : *plans) {
            std::erase_if(unitPlan, [&](const PlannedValue& value) {
                return skipped.contains(value.parameter);
            });
        }
        // A value of the file that is no value of its parameter: nothing is written to any unit.
        for (const std::vector<PlannedValue>& unitPlan : *plans) {
            for (const PlannedValue& value : unitPlan) {
                const auto check = driver_->checkValue(value.parameter, value.text);
                if (check.parameter < 0) {
                    return usage(options_.file + ": " + check.problem);
                }
            }
        }
        plan.plans = std::move(*plans);
        return std::nullopt;
    }

    // Diff and dry run end with the differences document, write commands with their results.
    int reportPlanFailure(const WritePlan& plan) {
        if (options_.command == CommandKind::Diff || options_.dryRun) {
            return reportDifferences(plan);
        }
        return reportResults(plan.outcomes);
    }

    int reportDifferences(const WritePlan& plan) {
        std::vector<UnitDifferences> units;
        bool allRead = true;
        bool anyDifference = false;
        for (const UnitOutcome& outcome : plan.outcomes) {
            UnitDifferences unit{outcome.unit, outcome.result, {}};
            for (std::size_t i = 0; i < plan.answered.size() && i < plan.plans.size(); ++i) {
                if (plan.answered[i].mac != outcome.unit.mac) {
                    continue;
                }
                unit.result = UnitResult::Ok;
                for (const PlannedValue& value : plan.plans[i]) {
                    const ParameterRow* row =
                        driver_->session().currentDescription().row(value.parameter);
                    std::string held = readValue(plan.answeredReads[i], value.parameter);
                    // A set names values whatever the units hold: only the ones it changes
                    // are differences.
                    if (row != nullptr && sameValue(*row, held, value.text)) {
                        continue;
                    }
                    unit.differences.push_back({value.parameter,
                                                row != nullptr ? row->address : std::string(),
                                                row != nullptr ? row->parameterName : std::string(),
                                                std::move(held), value.text});
                }
            }
            allRead = allRead && isFine(unit.result);
            anyDifference = anyDifference || !unit.differences.empty();
            units.push_back(std::move(unit));
        }
        for (const DeviceRecord& unit : missing_) {
            units.push_back({unit, UnitResult::NoAnswer, {}});
            allRead = false;
        }
        if (options_.json) {
            printDocument(differencesJson(units));
        } else {
            out_ << differencesTables(units);
        }
        if (options_.dryRun) {
            dialogs_.note("dry run: nothing was written");
        }
        if (!allRead) {
            return finalStatus(false);
        }
        const int status = finalStatus(true);
        if (status == kExitSuccess && options_.command == CommandKind::Diff && anyDifference) {
            return kExitUnitFailed;
        }
        return status;
    }

    // Every unit about to be written saved first, one file each, named by its MAC; any that
    // cannot be saved stops the run before anything is written.
    bool writeBackups(const WritePlan& plan) {
        const std::string stamp = backupStamp();
        for (std::size_t i = 0; i < plan.answered.size(); ++i) {
            if (plan.plans[i].empty()) {
                continue;
            }
            const DeviceRecord& unit = plan.answered[i];
            const FileWrite backup = driver_->backupUnitValues(
                unit, plan.answeredReads[i], *options_.backup, macFileName(unit.mac) + "-" + stamp);
            if (!backup.written) {
                dialogs_.note("cannot write the backup " + backup.path + " of " + unitLabel(unit) +
                              ": " + backup.reason + "; nothing was written to any unit");
                return false;
            }
            dialogs_.note("backup of " + unitLabel(unit) + ": " + backup.path);
        }
        return true;
    }

    // Writes each unit its plan: units that differ from the plan in the same way share one
    // write.
    int writePlans(WritePlan& plan) {
        if (options_.dryRun) {
            return reportDifferences(plan);
        }
        if (options_.backup && !writeBackups(plan)) {
            for (UnitOutcome& outcome : plan.outcomes) {
                if (outcome.result == UnitResult::NoAnswer) {
                    outcome.result = UnitResult::Error;
                }
            }
            return reportResults(plan.outcomes);
        }
        std::vector<DeviceRecord> written;
        std::vector<bool> done(plan.answered.size(), false);
        bool anyWrite = false;
        for (std::size_t i = 0; i < plan.answered.size(); ++i) {
            if (done[i]) {
                continue;
            }
            const std::vector<PlannedValue>& unitPlan = plan.plans[i];
            std::vector<DeviceRecord> alike;
            for (std::size_t j = i; j < plan.answered.size(); ++j) {
                if (!done[j] && plan.plans[j] == unitPlan) {
                    done[j] = true;
                    alike.push_back(plan.answered[j]);
                }
            }
            if (unitPlan.empty()) {
                for (UnitOutcome& outcome : plan.outcomes) {
                    if (std::any_of(alike.begin(), alike.end(), [&](const DeviceRecord& unit) {
                            return unit.mac == outcome.unit.mac;
                        })) {
                        outcome.result = UnitResult::Ok;
                    }
                }
                continue;
            }
            anyWrite = true;
            writeUnits(alike, unitPlan, plan.outcomes, written);
        }
        if (!anyWrite && options_.command == CommandKind::Load) {
            dialogs_.note("every R/W value of " + options_.file +
                          " equals the units' own: nothing to write");
        }
        return rebootAndReport(written, std::move(plan.outcomes));
    }

    int loadCommand() {
        // The file's values are compared with the units' own: read them first.
        WritePlan plan = readForPlan(notForTheFile_);
        if (const auto status = planFromFile(plan)) {
            return *status;
        }
        return writePlans(plan);
    }

    int diffCommand() {
        WritePlan plan = readForPlan(notForTheFile_);
        if (const auto status = planFromFile(plan)) {
            return *status;
        }
        return reportDifferences(plan);
    }

    int saveCommand() {
        const std::vector<ReadOutcome> reads = driver_->read(selection_, std::nullopt);
        std::vector<UnitOutcome> outcomes = pendingOutcomes(selection_);
        const ReadOutcome& read = reads.front();
        reportIncompleteRead(selection_.front(), read);
        if (!read.complete) {
            outcomes.front().result = readFailure(read);
            return reportResults(outcomes);
        }
        if (!driver_->saveConfiguration(selection_, options_.file)) {
            outcomes.front().result = UnitResult::Error;
            return reportResults(outcomes);
        }
        outcomes.front().result = UnitResult::Ok;
        return reportResults(outcomes);
    }

    int rebootCommand() {
        std::vector<UnitOutcome> outcomes = pendingOutcomes(selection_);
        rebootLikeUnits(selection_, outcomes, false);
        return reportResults(outcomes);
    }

    // The longest a run may take (without waits for the lock of pwd.ini), as --help states
    // it: the probe window, at most six waits of at most (units + 1) timeouts each, and the
    // 100 ms pauses between the units' requests that the run made.
    std::chrono::milliseconds runBound() const {
        const auto units = static_cast<long long>(selection_.size());
        return std::chrono::milliseconds(options_.waitMs + 6 * (units + 1) * options_.timeoutMs) +
               std::chrono::ceil<std::chrono::milliseconds>(traffic_.unitPauses);
    }

    void reportCost(Clock::duration wall) {
        const Clock::duration work =
            wall - traffic_.probeWindow - traffic_.unitPauses - traffic_.replyWaiting;
        const Clock::duration firstToLast =
            traffic_.firstProbeReplyHandled
                ? *traffic_.lastProbeReplyHandled - *traffic_.firstProbeReplyHandled
                : Clock::duration::zero();
        dialogs_.note("timing wall_ms=" + std::to_string(milliseconds(wall)) +
                      " bound_ms=" + std::to_string(runBound().count()) +
                      " probe_ms=" + std::to_string(milliseconds(traffic_.probeWindow)) +
                      " pause_ms=" + std::to_string(milliseconds(traffic_.unitPauses)) +
                      " wait_ms=" + std::to_string(milliseconds(traffic_.replyWaiting)) +
                      " work_ms=" + std::to_string(milliseconds(work)) +
                      " probe_first_to_last_ms=" + fractionalMilliseconds(firstToLast));
        const int sent = traffic_.probeRequestsSent + traffic_.requestsSent;
        const int received = traffic_.probeRepliesReceived + traffic_.repliesReceived;
        dialogs_.note("traffic sent=" + std::to_string(sent) +
                      " received=" + std::to_string(received) +
                      " probe_sent=" + std::to_string(traffic_.probeRequestsSent) +
                      " probe_received=" + std::to_string(traffic_.probeRepliesReceived) +
                      " requests_sent=" + std::to_string(traffic_.requestsSent) +
                      " replies_received=" + std::to_string(traffic_.repliesReceived) +
                      " requests_repeated=" + std::to_string(traffic_.requestsRepeated));
    }

    const CliOptions& options_;
    std::ostream& out_;
    bool interactive_;
    ConsoleDialogs dialogs_;
    Traffic traffic_;
    EndpointSettings endpoints_;
    std::string dataDirectory_;
    std::vector<DeviceRecord> selection_;
    bool selectsAll_ = false; // a UNIT word is "all"
    // Units named on the command line that no probe reply showed: "no answer".
    std::vector<DeviceRecord> missing_;
    std::unique_ptr<SessionDriver> driver_;
    // Units of a read that pwd.ini has no login for: reported, not read.
    std::set<std::string> withoutCredentials_;
    // load and diff: the file's header, and the selected units of another product or version.
    std::optional<ConfigurationHeader> fileHeader_;
    std::vector<bool> notForTheFile_;
    bool documentPrinted_ = false;
};

} // namespace

int runCommand(const CliOptions& options, std::ostream& out, std::ostream& errors) {
    return CommandRun(options, out, errors).run();
}

} // namespace morvik::cli
