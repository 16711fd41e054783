#include "cli/SessionDriver.h"

#include "description/ValueTypes.h"
#include "protocol/MacAddress.h"
#include "protocol/ParameterFrame.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace morvik::cli {

namespace {

constexpr std::string_view kErrorTryAgain = "Error occured. Try again !!";
// Several hundred units answering one read at once must not overflow the socket.
constexpr int kParameterReceiveBuffer = 8 * 1024 * 1024;

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string unitLabel(const DeviceRecord& unit) {
    return unit.mac + " (" + (unit.name.empty() ? unit.ip : unit.name + ", " + unit.ip) + ")";
}

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

// After an ErrorReply the session reads everything again and prompts for the credentials of
// the unit that refused. That helps only when something can answer the prompt with
// credentials other than the refused ones; otherwise the re-read would only drop the replies
// still on their way from the other units.
bool SessionDriver::sessionShouldRecover(int unit) const {
    switch (phase_) {
    case Phase::Read: {
        if (session_->loginChangePending()) {
            return true;
        }
        if (unit < 0 || static_cast<std::size_t>(unit) >= progress_.size()) {
            return false;
        }
        const TargetUnit& target = session_->targetUnit(unit);
        const Credentials refused{target.loginId, target.password};
        if (settings_.credentials && *settings_.credentials != refused) {
            return true;
        }
        return settings_.interactive && !settings_.credentials;
    }
    case Phase::FollowUp:
        // The credential log follows the login change; anything else is a refusal.
        return session_->loginChangePending();
    case Phase::Write:
    case Phase::Reboot:
    case Phase::Idle:
        // The session would read again and treat the write as done; a refused write or
        // reboot is reported instead (and its login change is not followed: it did not
        // happen).
        return false;
    }
    return false;
}

void SessionDriver::refuse(int unit) {
    Progress& progress = progress_[static_cast<std::size_t>(unit)];
    progress.refused = true;
    finish(unit, UnitResult::Error);
    const DeviceRecord& record = selection_[static_cast<std::size_t>(unit)];
    dialogs_.showMessage(kErrorTryAgain, "Error");
    if (!settings_.credentials && !settings_.interactive) {
        credentialsNeeded_ = true;
        dialogs_.note(unitLabel(record) +
                      " refused the login ID and password of pwd.ini: give --id and --password "
                      "(read the unit with them to put them into pwd.ini)");
    } else if (phase_ == Phase::Write || phase_ == Phase::Reboot) {
        dialogs_.note(unitLabel(record) +
                      " refused the login ID and password of pwd.ini: read it with --id and "
                      "--password first, which puts working ones into pwd.ini");
    } else if (settings_.credentials) {
        dialogs_.note(unitLabel(record) +
                      " refused the login ID and password given with --id and --password too");
    } else {
        dialogs_.note(unitLabel(record) + " refused the login ID and password");
    }
}

// A ReadReply or WriteAck whose checksum does not match is not the unit's word: the desktop
// program shows the values all the same, but a script must not be told "ok" for it. It is
// reported once, naming the unit, and the unit's result stays open for a valid reply.
bool SessionDriver::rejectChecksum(int unit, const ParsedFrame& frame) {
    const auto command = static_cast<Command>(frame.command);
    if ((command != Command::ReadReply && command != Command::WriteAck) ||
        frame.checksumMatches()) {
        return false;
    }
    Progress& progress = progress_[static_cast<std::size_t>(unit)];
    if (!progress.checksumFailed) {
        progress.checksumFailed = true;
        dialogs_.showMessage(unitLabel(selection_[static_cast<std::size_t>(unit)]) +
                                 ": cal : " + std::to_string(frame.computedChecksum) +
                                 " recv : " + std::to_string(frame.receivedChecksum.value_or(0)),
                             "Error");
    }
    return true;
}

bool SessionDriver::admitReply(int unit, const ParsedFrame& frame, std::string_view source) {
    if (unit >= static_cast<int>(progress_.size())) {
        return false; // a unit of no operation of the tool
    }
    const DeviceRecord& record = selection_[static_cast<std::size_t>(unit)];
    if (record.addressMode == "2") {
        // Reached by broadcast: the answer names the unit in its long header.
        if (frame.headerKind != HeaderKind::Long || parseMacText(record.mac) != frame.mac) {
            return false;
        }
    } else if (source != record.ip) {
        return false; // a unit reached by its own address answers from it
    }
    scheduler_->heardFrom(unit);
    if (rejectChecksum(unit, frame)) {
        return false;
    }
    if (frame.command == static_cast<std::uint8_t>(Command::ErrorReply)) {
        if (progress_[static_cast<std::size_t>(unit)].finished) {
            return false; // a late or repeated refusal of a unit already done with
        }
        if (!sessionShouldRecover(unit)) {
            refuse(unit);
            return false;
        }
    }
    // Messages the session shows while it handles this reply concern this unit.
    dialogs_.setSubject(unitLabel(record));
    return true;
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

// ---- operations ---------------------------------------------------------------------------

bool SessionDriver::prepare(const std::vector<DeviceRecord>& units) {
    begin(Phase::Idle, units);
    return session_->prepareDescription();
}

const std::vector<std::string>& SessionDriver::groupNames() const {
    return classFilter_.entries();
}

int SessionDriver::findGroup(const std::string& name) const {
    const std::vector<std::string>& names = classFilter_.entries();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) {
            return static_cast<int>(i);
        }
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (sameIgnoringCase(names[i], name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const std::string* ReadOutcome::valueOf(int index) const {
    if (!headings) {
        return nullptr;
    }
    const auto end = headings->begin() + static_cast<std::ptrdiff_t>(parameterCount());
    const auto found = std::lower_bound(
        headings->begin(), end, index,
        [](const ParameterHeading& heading, int wanted) { return heading.index < wanted; });
    if (found == end || found->index != index) {
        return nullptr;
    }
    return &values[static_cast<std::size_t>(found - headings->begin())];
}

std::vector<ReadOutcome> SessionDriver::read(const std::vector<DeviceRecord>& units,
                                             std::optional<int> group) {
    begin(Phase::Read, units);
    // The description is parsed first, without sending: one that gives no parameter at all
    // would only make every unit look silent.
    if (!session_->prepareDescription()) {
        // The session has said why; nothing was sent.
    } else if (session_->currentDescription().rowCount() == 0) {
        const DeviceRecord& first = units.front();
        dialogs_.note("the description of product " + first.productId + " version " +
                      first.version + " has no parameters: nothing was sent");
    } else if (group && *group > 0) {
        const DescriptionSlot& description = session_->currentDescription();
        if (description.hasGroup(*group)) {
            expectReadReplies();
            session_->showGroup(*group);
            const auto [first, end] = description.groupRows(*group);
            requestRange(first, end);
        }
    } else {
        expectReadReplies();
        session_->readParametersRequested(0);
        requestRange(0, session_->currentDescription().rowCount());
    }
    awaitReplies();

    const DescriptionSlot& description = session_->currentDescription();
    auto headings = std::make_shared<std::vector<ParameterHeading>>();
    for (int p = 0; p < kMaxParameterRows; ++p) {
        const ParameterRow* row = description.row(p);
        if (row == nullptr) {
            break;
        }
        if (requested_[static_cast<std::size_t>(p)]) {
            headings->push_back({p, row->address, row->className, row->parameterName, row->access});
        }
    }
    std::vector<ReadOutcome> outcomes(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        ReadOutcome& outcome = outcomes[i];
        Progress& progress = progress_[i];
        outcome.complete = progress.finished && progress.result == UnitResult::Ok;
        outcome.refused = progress.refused && !outcome.complete;
        outcome.checksumError = progress.checksumFailed && !outcome.complete;
        outcome.sent = progress.sent;
        if (!outcome.sent) {
            continue; // stopped before its request: no description to speak of
        }
        outcome.headings = headings;
        outcome.values.resize(headings->size());
        for (std::size_t h = 0; h < headings->size(); ++h) {
            const auto p = static_cast<std::size_t>((*headings)[h].index);
            // A hidden parameter's cell is never filled.
            if (description.row(static_cast<int>(p))->accessKind != AccessKind::Hidden &&
                p < progress.values.size() && progress.values[p]) {
                outcome.values[h] = std::move(*progress.values[p]);
            }
        }
    }
    phase_ = Phase::Idle;
    return outcomes;
}

SessionDriver::AssignmentCheck SessionDriver::checkAssignment(const std::string& address,
                                                              const std::string& text) const {
    const int parameter = session_->findParameter(address);
    if (parameter < 0) {
        return {-1, "the description has no parameter at address " + address};
    }
    return checkValue(parameter, text);
}

SessionDriver::AssignmentCheck SessionDriver::checkValue(int parameter,
                                                         const std::string& text) const {
    const ParameterRow* row = session_->currentDescription().row(parameter);
    if (row == nullptr) {
        return {-1, "the description has no parameter " + std::to_string(parameter)};
    }
    const std::string& address = row->address;
    // Only what the desktop program lets a user change: R/W values, and the choices of an
    // enumerated parameter of no declared access.
    const AccessKind access = row->accessKind;
    const bool changeable = access == AccessKind::ReadWrite ||
                            (access == AccessKind::Plain && row->enumeration.count() > 0);
    if (!changeable) {
        return {-1, address + " (" + row->parameterName + ") is " +
                        (row->access.empty() ? std::string("not writable") : row->access) +
                        ": only values that the desktop program lets a user change can be set"};
    }
    const EncodedValue value =
        encodeValue(*row, row->definedValues, row->enumeration, text, session_->byteOrder());
    if (!value) {
        // A login is never repeated: the message may go where others read it (a job's log).
        const std::string shown = isLoginAddress(address) ? "the new login" : "\"" + text + "\"";
        std::string problem = shown + " is not a value of " + address + " (" + row->parameterName +
                              ", " + row->typeName + "): " + refusalReason(*row, *value.refusal);
        const ValueList& names =
            row->enumeration.count() > 0 ? row->enumeration.get() : row->definedValues.get();
        if (names.count() > 0) {
            problem += "; known values:";
            for (const ValueList::Entry& entry : names.entries()) {
                problem += " \"" + entry.name + "\"";
            }
        }
        return {-1, problem + "; nothing was sent"};
    }
    if (auto refusal = session_->writeRefusal(parameter, text)) {
        return {-1, std::move(*refusal)};
    }
    return {parameter, {}};
}

std::vector<UnitResult> SessionDriver::writeOnce(const std::vector<DeviceRecord>& units,
                                                 const std::vector<PlannedValue>& plan) {
    begin(Phase::Write, units);
    if (session_->prepareDescription()) {
        for (const PlannedValue& value : plan) {
            session_->setValueText(value.parameter, value.text);
            table_->setModifiedMark(value.parameter, 1);
        }
        session_->writeParameters();
        awaitReplies();
    }
    phase_ = Phase::Idle;
    return results();
}

bool SessionDriver::readBackAfterLoginChange(const DeviceRecord& unit) {
    begin(Phase::FollowUp, {unit});
    session_->readParametersRequested(0);
    requestRange(0, session_->currentDescription().rowCount());
    awaitReplies();
    const bool complete = progress_.front().finished && progress_.front().result == UnitResult::Ok;
    phase_ = Phase::Idle;
    if (!complete) {
        dialogs_.note("could not read " + unitLabel(unit) +
                      " back after its login change; pwd.ini may still hold the old login");
    }
    return complete;
}

std::vector<UnitResult> SessionDriver::write(const std::vector<DeviceRecord>& units,
                                             const std::vector<PlannedValue>& plan) {
    const DescriptionSlot& description = session_->currentDescription();
    const bool changesLogin = std::any_of(plan.begin(), plan.end(), [&](const PlannedValue& value) {
        const ParameterRow* row = description.row(value.parameter);
        return row != nullptr && isLoginAddress(row->address);
    });
    writeRepeatable_ = !changesLogin;
    if (!changesLogin) {
        return writeOnce(units, plan);
    }
    std::vector<UnitResult> results;
    for (const DeviceRecord& unit : units) {
        const UnitResult result = writeOnce({unit}, plan).front();
        if (result == UnitResult::Ok && !readBackAfterLoginChange(unit)) {
            loginReadBackFailed_ = true;
        }
        results.push_back(result);
    }
    return results;
}

std::vector<UnitResult> SessionDriver::reboot(const std::vector<DeviceRecord>& units) {
    begin(Phase::Reboot, units);
    session_->rebootUnits();
    awaitReplies();
    phase_ = Phase::Idle;
    return results();
}

std::optional<std::vector<std::vector<PlannedValue>>>
SessionDriver::loadConfiguration(const std::vector<DeviceRecord>& units,
                                 const std::vector<ReadOutcome>& reads, const std::string& path) {
    selection_ = units;
    std::vector<std::vector<PlannedValue>> plans;
    for (std::size_t unit = 0; unit < units.size() && unit < reads.size(); ++unit) {
        // The list as this unit alone would show it: with several units the cells hold only
        // the values they agree on, and the first unit's where the others have not answered.
        for (int line = 0; line < table_->lineCount(); ++line) {
            table_->setModifiedMark(table_->parameterOfLine(line), 0);
            table_->setText(line, ParameterTable::ValueColumn, {});
        }
        showValues(reads[unit]);
        if (!session_->loadConfiguration(path)) {
            return std::nullopt;
        }
        std::vector<PlannedValue> plan;
        for (int line = 0; line < table_->lineCount(); ++line) {
            const int parameter = table_->parameterOfLine(line);
            if (table_->modifiedMark(parameter) == 1) {
                plan.push_back({parameter, table_->text(line, ParameterTable::ValueColumn)});
            }
        }
        plans.push_back(std::move(plan));
    }
    return plans;
}

void SessionDriver::showValues(const ReadOutcome& read) {
    for (std::size_t i = 0; i < read.parameterCount(); ++i) {
        session_->setValueText(read.heading(i).index, read.values[i]);
    }
}

bool SessionDriver::saveUnitValues(const DeviceRecord& unit, const ReadOutcome& read,
                                   const std::string& path) {
    selection_ = {unit};
    for (int line = 0; line < table_->lineCount(); ++line) {
        table_->setText(line, ParameterTable::ValueColumn, {});
    }
    showValues(read);
    return session_->saveConfiguration(path);
}

FileWrite SessionDriver::backupUnitValues(const DeviceRecord& unit, const ReadOutcome& read,
                                          const std::string& folder, const std::string& stem) {
    selection_ = {unit};
    for (int line = 0; line < table_->lineCount(); ++line) {
        table_->setText(line, ParameterTable::ValueColumn, {});
    }
    showValues(read);
    return session_->saveBackup(folder, stem);
}

bool SessionDriver::saveConfiguration(const std::vector<DeviceRecord>& units,
                                      const std::string& path) {
    selection_ = units;
    return session_->saveConfiguration(path);
}

} // namespace morvik::cli
