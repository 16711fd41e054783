#include "cli/CommandRun.h"
#include "cli/LikeUnits.h"
#include "cli/UnitLabel.h"
#include "cli/UnitMatching.h"
#include "protocol/MacAddress.h"
#include "stores/CredentialLog.h"

#include <algorithm>
#include <filesystem>

// The probe, the units it selects, and whether each has a login to be asked with.

namespace morvik::cli {

std::optional<std::vector<ProbedUnit>>
CommandRun::probe(const std::function<bool(const DeviceRecord&)>& enough) {
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

// "Checksum Error!" for each unit whose probe reply had a bad checksum, naming it; only
// for the units in `selected` (indices) when given.
void CommandRun::reportChecksumErrors(const std::vector<ProbedUnit>& units,
                                      const std::optional<std::vector<int>>& selected) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        const bool asked = !selected || std::find(selected->begin(), selected->end(),
                                                  static_cast<int>(i)) != selected->end();
        if (asked && !units[i].checksumOk) {
            dialogs_.showMessage("Checksum Error! " + unitLabel(units[i].record), "Error");
        }
    }
}

int CommandRun::selectUnits() {
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
        dialogs_.note("no unit answered as " + word + " within " + std::to_string(options_.waitMs) +
                      " ms");
    }
    for (const std::string& word : match.ambiguous) {
        std::vector<std::string> macs;
        for (const DeviceRecord& record : records) {
            if (matches(parseUnitSpec(word), record)) {
                macs.push_back(record.mac);
            }
        }
        dialogs_.note(word + " names several units (" + joined(macs, ", ") + "): name them by MAC");
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
int CommandRun::checkCredentials() {
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

} // namespace morvik::cli
