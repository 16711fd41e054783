#include "cli/SessionDriver.h"
#include "cli/UnitLabel.h"
#include "protocol/ParameterFrame.h"

#include <algorithm>
#include <array>

// The wait for the replies of one operation: the datagrams of the parameter socket handed to
// the session, requests repeated by the scheduler, and when to stop waiting.

namespace morvik::cli {

int SessionDriver::unitOfDatagram(std::span<const std::uint8_t> datagram) const {
    const auto frame = parseFrame(datagram, session_->byteOrder());
    if (!frame) {
        return -1;
    }
    bool earlierPass = false;
    const int unit = session_->targetOfFrame(*frame, &earlierPass);
    // Only values are still taken from the answers to the pass before of a group read.
    if (earlierPass && frame->command != static_cast<std::uint8_t>(Command::ReadReply)) {
        return -1;
    }
    return unit;
}

// A fleet's replies are handled while the session still asks the other units, so that their
// handling overlaps the waiting for the window. Only the values of a read whose requests
// hold every parameter asked for are taken that way: handling them never makes the session
// send (there is no next pass to start) nor ask anything. A refusal, an acknowledgement or a
// reply of a read in passes waits until the session has asked every unit.
bool SessionDriver::takeDuringSends(std::span<const std::uint8_t> datagram,
                                    const std::string& source) {
    if (phase_ != Phase::Read || session_->resumeIndex() != 0) {
        return false;
    }
    const auto frame = parseFrame(datagram, session_->byteOrder());
    if (!frame || frame->command != static_cast<std::uint8_t>(Command::ReadReply)) {
        return false;
    }
    handleReply(datagram, source);
    return true;
}

void SessionDriver::handleReply(std::span<const std::uint8_t> datagram, const std::string& source) {
    ++traffic_.repliesReceived;
    session_->handleUnitReply(datagram, source);
    dialogs_.setSubject({});
}

void SessionDriver::resend(int unit, std::span<const std::uint8_t> datagram) {
    if (unit < 0 || unit >= static_cast<int>(selection_.size())) {
        return;
    }
    const DeviceRecord& record = selection_[static_cast<std::size_t>(unit)];
    if (record.addressMode == "2") {
        transport_->broadcast(datagram);
    } else {
        transport_->sendTo(datagram, record.ip);
    }
    ++traffic_.requestsRepeated;
}

// The window is as wide as the receive buffer holds the read replies of its units.
void SessionDriver::expectReadReplies() {
    const DescriptionSlot& description = session_->currentDescription();
    std::size_t bytes = 0;
    for (int p = 0; p < description.rowCount(); ++p) {
        if (const ParameterRow* row = description.row(p)) {
            bytes += static_cast<std::size_t>(row->size) + row->address.size() + 4;
        }
    }
    scheduler_->expectReplies(bytes);
}

void SessionDriver::noteUnrepeated() {
    if (settings_.retries <= 0) {
        return;
    }
    for (const int unit : scheduler_->silentUnrepeatable()) {
        if (progress_[static_cast<std::size_t>(unit)].finished) {
            continue;
        }
        dialogs_.note(unitLabel(selection_[static_cast<std::size_t>(unit)]) +
                      (phase_ == Phase::Reboot
                           ? ": the reboot request was not sent again: a unit that took it "
                             "would reboot twice"
                           : ": the write was not sent again: it changes the login, which the "
                             "unit may already hold"));
    }
}

bool SessionDriver::anyRequestOutstanding() const {
    const int targets = std::min(session_->targetCount(), static_cast<int>(progress_.size()));
    for (int i = 0; i < targets; ++i) {
        if (!progress_[static_cast<std::size_t>(i)].finished &&
            session_->targetUnit(i).requestSent) {
            return true;
        }
    }
    return false;
}

std::chrono::milliseconds SessionDriver::waitLimit(std::chrono::milliseconds timeout, int units) {
    return timeout * (std::max(units, 0) + 1);
}

void SessionDriver::awaitReplies() {
    std::array<std::uint8_t, kReceiveBufferSize> buffer{};
    const Clock::time_point start = Clock::now();
    // A unit that keeps making a little progress must not hold the run forever either. The
    // session's own 100 ms pauses between units, when a reply makes it send the next part,
    // are the tool's pace, not the units': they do not count.
    const Clock::time_point baseLimit =
        start + waitLimit(settings_.timeout, static_cast<int>(progress_.size()));
    const Clock::duration pausesBefore = traffic_.unitPauses;
    Clock::time_point limit = baseLimit;
    Clock::time_point deadline = std::min(start + settings_.timeout, limit);
    // Replies taken in while the session was still asking other units come first.
    auto handle = [&](std::span<const std::uint8_t> datagram, const std::string& source) {
        const long stepsBefore = progressSteps_;
        handleReply(datagram, source);
        if (progressSteps_ != stepsBefore) {
            // Counted from the end of the handling: it may have sent the next requests.
            limit = baseLimit + (traffic_.unitPauses - pausesBefore);
            deadline = std::min(Clock::now() + settings_.timeout, limit);
        }
    };
    while (!allFinished() && anyRequestOutstanding()) {
        if (auto held = scheduler_->takeHeld()) {
            handle(held->datagram, held->sourceAddress);
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            break;
        }
        // A repeat waits for the unit's share of the time-out; it extends nothing.
        Clock::time_point wakeUp = deadline;
        if (endpoint_->waitReadable(0)) {
            wakeUp = now;
        } else if (const auto nextRepeat = scheduler_->repeatDueRequests(now)) {
            wakeUp = std::min(wakeUp, *nextRepeat);
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(wakeUp - Clock::now());
        const Clock::time_point waitStart = Clock::now();
        const bool readable =
            endpoint_->waitReadable(static_cast<int>(std::max<long>(left.count(), 0)));
        traffic_.replyWaiting += Clock::now() - waitStart;
        if (!readable) {
            continue;
        }
        // Everything that is waiting now, but never past the deadline: a flood must not keep
        // the tool here.
        while (Clock::now() < deadline && endpoint_->waitReadable(0)) {
            buffer.fill(0);
            const auto received = endpoint_->receiveFrom(buffer);
            if (!received) {
                continue; // longer than the receive buffer: discarded whole
            }
            handle(std::span<const std::uint8_t>(buffer.data(), received->length),
                   received->sourceAddress);
            if (allFinished()) {
                break;
            }
        }
    }
    if (phase_ == Phase::Write || phase_ == Phase::Reboot) {
        noteUnrepeated();
    }
}

} // namespace morvik::cli
