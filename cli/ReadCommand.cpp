#include "cli/CommandRun.h"
#include "cli/LikeUnits.h"
#include "cli/UnitLabel.h"

// Reading units: the read and save commands, and the read a write plan starts from.

namespace morvik::cli {

void CommandRun::reportIncompleteRead(const DeviceRecord& unit, const ReadOutcome& outcome) {
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

UnitResult CommandRun::readFailure(const ReadOutcome& read) const {
    if (read.checksumError) {
        return UnitResult::ChecksumError;
    }
    // Refused with nothing to offer instead: what the unit needs is a login.
    if (read.refused && !options_.credentials && !interactive_) {
        return UnitResult::CredentialsNeeded;
    }
    return read.refused || !read.sent ? UnitResult::Error : UnitResult::NoAnswer;
}

UnitResult CommandRun::readResult(const ReadOutcome& read) const {
    return read.complete ? UnitResult::Ok : readFailure(read);
}

int CommandRun::readCommand() {
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
                             units.front().version + " has no class group \"" + *options_.group +
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

int CommandRun::saveCommand() {
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

// Reads the selection, like units together; the units that did not answer completely get
// their failure. Units marked in `leftOut` are not read: they are of another product.
WritePlan CommandRun::readForPlan(const std::vector<bool>& leftOut) {
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

} // namespace morvik::cli
