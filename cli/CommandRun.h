#pragma once

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/ConsoleDialogs.h"
#include "cli/Output.h"
#include "cli/Probe.h"
#include "cli/SessionDriver.h"
#include "cli/Traffic.h"
#include "cli/WritePlan.h"
#include "config/ConfigurationFile.h"

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace morvik::cli {

// One run of the tool: the selection of units, the command on it, and how the run ends. Each
// command's steps live in a file of their own (SelectionStep, ProbeCommand, ReadCommand,
// WriteCommand, RebootCommand, PlanOutput, RunResults); what they share is here.
class CommandRun {
public:
    CommandRun(const CliOptions& options, std::ostream& out, std::ostream& errors);

    int run();

private:
    // Commands.cpp: the run from its checks to the command.
    int saveCollectedLogins(int status);
    void printDocument(const Json& document);
    int dispatch();
    int usage(const std::string& text);
    int checkBeforeProbing();

    // SelectionStep.cpp: the probe and the units it selects.
    std::optional<std::vector<ProbedUnit>>
    probe(const std::function<bool(const DeviceRecord&)>& enough);
    void reportChecksumErrors(const std::vector<ProbedUnit>& units,
                              const std::optional<std::vector<int>>& selected);
    int selectUnits();
    int checkCredentials();

    // ProbeCommand.cpp
    int probeCommand();
    int interfacesCommand();

    // RunResults.cpp: the results table or document, and the exit status.
    int noUnitAnswered(const std::string& what);
    bool isFine(UnitResult result) const;
    int finalStatus(bool allSucceeded);
    int reportResults(std::vector<UnitOutcome> outcomes);
    std::vector<UnitOutcome> pendingOutcomes(const std::vector<DeviceRecord>& units) const;
    int refused(std::vector<UnitOutcome> outcomes, const std::vector<DeviceRecord>& units);

    // ReadCommand.cpp: read and save, and the read that a write plan starts from.
    void reportIncompleteRead(const DeviceRecord& unit, const ReadOutcome& outcome);
    UnitResult readFailure(const ReadOutcome& read) const;
    UnitResult readResult(const ReadOutcome& read) const;
    int readCommand();
    int saveCommand();
    WritePlan readForPlan(const std::vector<bool>& leftOut = {});

    // WriteCommand.cpp: set, load and diff.
    int writeAndReport(const std::vector<DeviceRecord>& units,
                       const std::vector<PlannedValue>& plan, std::vector<UnitOutcome> outcomes);
    void writeUnits(const std::vector<DeviceRecord>& units, const std::vector<PlannedValue>& plan,
                    std::vector<UnitOutcome>& outcomes, std::vector<DeviceRecord>& written);
    int setCommand();
    std::optional<std::string> addNewLogin(std::vector<Assignment>& assignments) const;
    std::optional<std::vector<std::vector<PlannedValue>>> planEachKind(const WritePlan& plan);
    std::vector<bool> unitsTheFileIsNotFor();
    std::optional<int> planFromFile(WritePlan& plan);
    int writePlans(WritePlan& plan);
    int loadCommand();
    int diffCommand();

    // PlanOutput.cpp: the differences of a plan shown instead of written.
    int reportPlanFailure(const WritePlan& plan);
    int reportDifferences(const WritePlan& plan);

    // RebootCommand.cpp
    int rebootAndReport(const std::vector<DeviceRecord>& written,
                        std::vector<UnitOutcome> outcomes);
    void rebootLikeUnits(const std::vector<DeviceRecord>& units, std::vector<UnitOutcome>& outcomes,
                         bool afterWrite);
    int rebootCommand();

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

} // namespace morvik::cli
