#include "cli/SessionDriver.h"

#include <algorithm>

// The driver's setup, what the session reports to it, and the bookkeeping of one operation.

namespace morvik::cli {

namespace {

// Several hundred units answering one read at once must not overflow the socket.
constexpr int kParameterReceiveBuffer = 8 * 1024 * 1024;

std::uint32_t timeSeed() {
    return static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

} // namespace

std::string resultText(UnitResult result) {
    switch (result) {
    case UnitResult::Ok:
        return "ok";
    case UnitResult::Error:
        return "error";
    case UnitResult::NoAnswer:
        return "no answer";
    case UnitResult::ChecksumError:
        return "checksum error";
    case UnitResult::CredentialsNeeded:
        return "credentials needed";
    case UnitResult::OtherProduct:
        return "other product";
    }
    return {};
}

SessionDriver::SessionDriver(Settings settings, ConsoleDialogs& dialogs, Traffic& traffic)
    : settings_(std::move(settings)), dialogs_(dialogs), traffic_(traffic),
      table_(std::make_unique<ParameterTable>()) {}

SessionDriver::~SessionDriver() = default;

bool SessionDriver::open() {
    endpoint_ = UdpEndpoint::bind("0.0.0.0", 0);
    if (!endpoint_) {
        return false;
    }
    endpoint_->setReceiveBufferSize(kParameterReceiveBuffer);
    transport_ = std::make_unique<UdpTransport>(*endpoint_, settings_.endpoints);
    scheduler_ = std::make_unique<FleetScheduler>(
        FleetScheduler::Settings{settings_.pace, settings_.retries, settings_.timeout}, *endpoint_,
        traffic_, sleepingPacer_,
        [this](std::span<const std::uint8_t> datagram, const std::string& /*source*/) {
            return unitOfDatagram(datagram);
        },
        [this](int unit, std::span<const std::uint8_t> datagram) { resend(unit, datagram); },
        [this](std::span<const std::uint8_t> datagram, const std::string& source) {
            return takeDuringSends(datagram, source);
        });
    pacer_ = std::make_unique<MeasuredPacer>(*scheduler_, traffic_);
    session_ = std::make_unique<ParameterSession>(
        ParameterSession::Ports{dialogs_, *this, *table_, classFilter_, *transport_, *pacer_},
        settings_.dataDirectory, timeSeed());
    session_->setEvents(this);
    return true;
}

// ---- what the session reports -------------------------------------------------------------

void SessionDriver::requestSent(int unit, Command command, std::span<const std::uint8_t> datagram) {
    ++traffic_.requestsSent;
    // Reads and writes that change no login come out the same when repeated; a reboot, or a
    // login the unit may already hold, do not.
    const bool repeatable =
        command == Command::ReadRequest || (command == Command::WriteRequest && writeRepeatable_);
    scheduler_->requestSent(unit, datagram, repeatable);
    ++progressSteps_; // one more reply to await
    if (unit >= 0 && unit < static_cast<int>(progress_.size())) {
        progress_[static_cast<std::size_t>(unit)].sent = true;
    }
}

void SessionDriver::credentialLogSaved(bool saved) {
    if (!saved) {
        credentialLogFailed_ = true;
    }
}

void SessionDriver::unitAnswered(int unit, UnitAnswer answer, Command reply) {
    if (unit < 0 || unit >= static_cast<int>(progress_.size())) {
        return;
    }
    switch (answer) {
    case UnitAnswer::Accepted:
        // Only the acknowledgement of a unit's last request completes the write on it: before
        // it the session still has rows to send that unit.
        if (reply == Command::WriteAck && phase_ == Phase::Write &&
            session_->writeCompletedBy(unit)) {
            finish(unit, UnitResult::Ok);
        } else if (reply == Command::RebootAck && phase_ == Phase::Reboot) {
            finish(unit, UnitResult::Ok);
        }
        break;
    case UnitAnswer::Refused:
        // Handed on to the session, which reads again with other credentials.
        if (!progress_[static_cast<std::size_t>(unit)].refused) {
            ++progressSteps_;
        }
        progress_[static_cast<std::size_t>(unit)].refused = true;
        break;
    case UnitAnswer::ValuesTaken:
        break; // counted value by value
    }
}

void SessionDriver::valueDecoded(int unit, int parameter, const std::string& text) {
    if ((phase_ != Phase::Read && phase_ != Phase::FollowUp) || unit < 0 ||
        unit >= static_cast<int>(progress_.size()) || parameter < 0 ||
        parameter >= kMaxParameterRows) {
        return;
    }
    Progress& progress = progress_[static_cast<std::size_t>(unit)];
    if (progress.values.empty()) {
        progress.values.resize(kMaxParameterRows); // only for units that answer
    }
    auto& value = progress.values[static_cast<std::size_t>(parameter)];
    const bool first = !value.has_value();
    value = text;
    if (first && requested_[static_cast<std::size_t>(parameter)]) {
        ++progressSteps_;
        ++progress.requestedDecoded;
        if (progress.requestedDecoded >= requestedCount_) {
            finish(unit, UnitResult::Ok);
        }
    }
}

// ---- bookkeeping of one operation ---------------------------------------------------------

void SessionDriver::begin(Phase phase, const std::vector<DeviceRecord>& units) {
    phase_ = phase;
    selection_ = units;
    progress_.assign(units.size(), Progress{});
    requested_.assign(kMaxParameterRows, false);
    requestedCount_ = 0;
    scheduler_->begin(static_cast<int>(units.size()));
}

void SessionDriver::requestRange(int first, int end) {
    requested_.assign(kMaxParameterRows, false);
    requestedCount_ = 0;
    for (int p = std::max(first, 0); p < std::min(end, kMaxParameterRows); ++p) {
        requested_[static_cast<std::size_t>(p)] = true;
        ++requestedCount_;
    }
    // Values that arrived already (none normally) count towards the new range.
    for (Progress& progress : progress_) {
        progress.requestedDecoded = 0;
        for (int p = 0; p < static_cast<int>(progress.values.size()); ++p) {
            if (requested_[static_cast<std::size_t>(p)] &&
                progress.values[static_cast<std::size_t>(p)]) {
                ++progress.requestedDecoded;
            }
        }
        if (requestedCount_ > 0 && progress.requestedDecoded >= requestedCount_) {
            progress.finished = true;
            progress.result = UnitResult::Ok;
        }
    }
}

void SessionDriver::finish(int unit, UnitResult result) {
    Progress& progress = progress_[static_cast<std::size_t>(unit)];
    if (!progress.finished) {
        progress.finished = true;
        progress.result = result;
        ++progressSteps_;
    }
    scheduler_->finished(unit);
}

bool SessionDriver::allFinished() const {
    return std::all_of(progress_.begin(), progress_.end(),
                       [](const Progress& progress) { return progress.finished; });
}

std::vector<UnitResult> SessionDriver::results() const {
    std::vector<UnitResult> results;
    for (std::size_t i = 0; i < progress_.size(); ++i) {
        const Progress& progress = progress_[i];
        if (progress.finished) {
            results.push_back(progress.result);
        } else if (progress.checksumFailed) {
            results.push_back(UnitResult::ChecksumError);
        } else if (progress.refused) {
            results.push_back(UnitResult::Error);
        } else {
            // A unit that was never sent its request was stopped by an error.
            results.push_back(progress.sent ? UnitResult::NoAnswer : UnitResult::Error);
        }
    }
    return results;
}

} // namespace morvik::cli
