#include "cli/CommandRun.h"
#include "cli/InterfacesReport.h"
#include "cli/UnitLabel.h"
#include "protocol/NoAnswerHint.h"

#include <algorithm>

// How a run ends: the results of its units, shown, and the exit status.

namespace morvik::cli {

// Nobody answered: a firewall is as likely as a network without units, so say which
// networks were probed and what to let in.
int CommandRun::noUnitAnswered(const std::string& what) {
    const std::string hint = noAnswerHint(what, broadcastRoutes(endpoints_, readLocalInterfaces()),
                                          endpoints_.devicePort)
                                 .text();
    for (std::size_t start = 0; start < hint.size();) {
        const std::size_t end = hint.find('\n', start);
        dialogs_.note(std::string_view(hint).substr(start, end - start));
        start = end == std::string::npos ? hint.size() : end + 1;
    }
    return kExitNoAnswer;
}

// A unit that a configuration file is not for is left alone; among the units of `all` (a
// network of several products) that is no failure of the run, for a unit named on the
// command line it is.
bool CommandRun::isFine(UnitResult result) const {
    return result == UnitResult::Ok || (result == UnitResult::OtherProduct && selectsAll_);
}

int CommandRun::finalStatus(bool allSucceeded) {
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

int CommandRun::reportResults(std::vector<UnitOutcome> outcomes) {
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

std::vector<UnitOutcome> CommandRun::pendingOutcomes(const std::vector<DeviceRecord>& units) const {
    std::vector<UnitOutcome> outcomes;
    for (const DeviceRecord& unit : units) {
        outcomes.push_back({unit, UnitResult::NoAnswer, std::nullopt});
    }
    return outcomes;
}

// The operation was refused before anything was sent (the session has said why).
int CommandRun::refused(std::vector<UnitOutcome> outcomes, const std::vector<DeviceRecord>& units) {
    for (UnitOutcome& outcome : outcomes) {
        if (std::any_of(units.begin(), units.end(),
                        [&](const DeviceRecord& unit) { return unit.mac == outcome.unit.mac; })) {
            outcome.result = UnitResult::Error;
        }
    }
    return reportResults(outcomes);
}

} // namespace morvik::cli
