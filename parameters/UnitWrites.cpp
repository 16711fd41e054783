// A write that does not fit one request, unit by unit: each unit is sent its next request as
// soon as it acknowledged the one before, so that a unit that stays silent or refuses holds
// back no other unit, and every unit that answers gets every marked row.
#include "description/LoginParameters.h"
#include "description/ValueTypes.h"
#include "parameters/ParameterSession.h"
#include "parameters/ParameterTable.h"
#include "parameters/SessionInternal.h"

#include <algorithm>

namespace morvik {

using namespace internal;

namespace {

constexpr std::string_view kSetConfirm = "Set Confirm";

} // namespace

bool ParameterSession::writeCompletedBy(int unit) const {
    if (unit < 0 || unit >= targetCount_) {
        return false;
    }
    const TargetUnit& target = targets_[static_cast<std::size_t>(unit)];
    return writeActive_ && !target.writeStopped && target.writeParts > 0 &&
           target.writeNextRow >= writeLines_;
}

bool ParameterSession::appendWritePart(int unit, const DeviceRecord& record, FrameBuilder& frame) {
    ParameterTable& table = ports_.table;
    TargetUnit& target = targets_[static_cast<std::size_t>(unit)];
    const DescriptionSlot& description = cache_.current();
    const int first = table.firstParameterShown();
    const int lines = std::min(writeLines_, table.lineCount());
    const ByteOrder order = byteOrder();
    const int start = target.writeParts == 0 ? 0 : target.writeNextRow;
    int next = lines; // every marked row from `start` went into this request
    bool anyEntry = false;
    for (int r = start; r < lines; ++r) {
        const int p = first + r;
        const ParameterRow* row = description.row(p);
        if (row == nullptr) {
            break;
        }
        if (table.modifiedMark(p) == 1) {
            const std::string text = table.text(r, ParameterTable::ValueColumn);
            const auto value = encodeValue(*row, row->definedValues, row->enumeration, text, order);
            if (!value) {
                // Checked before the confirmation; the table did not change since.
                continue;
            }
            if (!frame.appendEntry(row->address, value.bytes)) {
                if (!anyEntry) {
                    ports_.dialogs.showMessage("The value of " + row->parameterName +
                                                   " is too long to be sent. Nothing was sent "
                                                   "to " +
                                                   record.mac + ".",
                                               kError);
                    return false;
                }
                next = r; // this row opens the next request
                break;
            }
            anyEntry = true;
            if (isLoginIdAddress(row->address)) {
                loginChangePending_ = true;
                newLoginId_[static_cast<std::size_t>(unit)] = text;
            } else if (isLoginPasswordAddress(row->address)) {
                loginChangePending_ = true;
                newLoginPassword_[static_cast<std::size_t>(unit)] = text;
            }
        }
        if (r + 1 < lines && frame.pastChunkThreshold()) {
            next = r + 1;
            break;
        }
    }
    target.writePartStart = start;
    target.writeNextRow = next;
    ++target.writeParts;
    target.writeAcknowledged = false;
    if (!writeOpen_) {
        // Where the first requests stopped: the least of the units' stopping points so far.
        int least = lines;
        for (int i = 0; i <= unit; ++i) {
            least = std::min(least, targets_[static_cast<std::size_t>(i)].writeNextRow);
        }
        resumeIndex_ = least >= lines ? 0 : least;
    }
    return true;
}

void ParameterSession::sendWritePart(int unit) {
    if (unit < 0 || unit >= static_cast<int>(operation_.units.size())) {
        return;
    }
    // A copy: a message below runs the event loop.
    const DeviceRecord record = operation_.units[static_cast<std::size_t>(unit)];
    TargetUnit& target = targets_[static_cast<std::size_t>(unit)];
    FrameBuilder frame(kRequestBufferSize, byteOrder());
    const bool built = beginRequest(frame, unit, record, Command::WriteRequest) &&
                       appendWritePart(unit, record, frame);
    if (!built || frame.finishFrame() == 0) {
        if (built) {
            reportRequestTooLong(record);
        }
        target.writeStopped = true;
        return;
    }
    if (send(unit, record, Command::WriteRequest, frame.frame()) == SendResult::Unreachable) {
        target.writeStopped = true;
    }
}

void ParameterSession::advanceWrite(int unit) {
    TargetUnit& target = targets_[static_cast<std::size_t>(unit)];
    if (!writeOpen_ || !target.writeAcknowledged || target.writeStopped) {
        return;
    }
    clearMarksWrittenEverywhere();
    if (target.writeNextRow >= writeLines_) {
        return; // through: settleWrite sees it
    }
    const int part = target.writeParts + 1;
    if (part <= writeApprovedParts_) {
        sendWritePart(unit);
        return;
    }
    if (writeAsking_) {
        return; // the open question decides for this unit too
    }
    // Each further request is confirmed once; the answer holds for every unit that gets there.
    writeAsking_ = true;
    const bool yes = ports_.dialogs.confirm(kSetConfirm, "You are to update parameter values !",
                                            "               Do you want to continue ? ", "");
    writeAsking_ = false;
    if (!writeOpen_) {
        return; // another operation began while the question was open
    }
    if (!yes) {
        writeOpen_ = false;
        writeActive_ = false;
        return;
    }
    writeApprovedParts_ = std::max(writeApprovedParts_, part);
    for (int i = 0; i < targetCount_ && writeOpen_; ++i) {
        const TargetUnit& waiting = targets_[static_cast<std::size_t>(i)];
        if (waiting.writeAcknowledged && !waiting.writeStopped &&
            waiting.writeNextRow < writeLines_ && waiting.writeParts < writeApprovedParts_) {
            sendWritePart(i);
        }
    }
}

bool ParameterSession::deferRefusalOfWrite(int unit) {
    if (!writeActive_) {
        return false;
    }
    TargetUnit& target = targets_[static_cast<std::size_t>(unit)];
    target.writeStopped = true;
    if (!writeRefused_) {
        writeRefused_ = true;
        forcedPromptMac_ = target.mac;
    }
    settleWrite();
    return true;
}

void ParameterSession::clearMarksWrittenEverywhere() {
    // Rows that every unit has acknowledged; a unit that stopped keeps its rows marked.
    int written = writeLines_;
    for (int i = 0; i < targetCount_; ++i) {
        const TargetUnit& target = targets_[static_cast<std::size_t>(i)];
        const int through = target.writeStopped        ? 0
                            : target.writeAcknowledged ? target.writeNextRow
                                                       : target.writePartStart;
        written = std::min(written, through);
    }
    if (written > 0) {
        clearMarksOfShownLines(written);
    }
}

void ParameterSession::settleWrite() {
    if (!writeOpen_) {
        return;
    }
    bool anyStopped = false;
    for (int i = 0; i < targetCount_; ++i) {
        const TargetUnit& target = targets_[static_cast<std::size_t>(i)];
        const bool through = target.writeAcknowledged && target.writeNextRow >= writeLines_;
        if (!through && !target.writeStopped) {
            return; // still on its way, or silent
        }
        anyStopped = anyStopped || target.writeStopped;
    }
    // Closed before any dialog opens: an acknowledgement arriving while it is shown finds no
    // write to complete, so the user is asked once per write.
    writeOpen_ = false;
    writeActive_ = false;
    resumeIndex_ = 0;
    if (writeRefused_) {
        writeRefused_ = false;
        forcePrompt_ = true;
        readParameters(0);
        return;
    }
    if (anyStopped) {
        return; // the rows stay marked for the units that did not get them
    }
    clearMarksOfShownLines(ports_.table.lineCount());
    if (ports_.dialogs.confirm(kRebootConfirm, "Parameter values updated !",
                               "You have to reboot device(s) to apply changes.",
                               "Do you want to reboot device(s) now? ")) {
        rebootUnits();
    }
}

} // namespace morvik
