#pragma once

#include "cli/ConsoleDialogs.h"
#include "cli/FleetScheduler.h"
#include "cli/Traffic.h"
#include "description/LoginParameters.h"
#include "parameters/ClassFilter.h"
#include "parameters/ParameterSession.h"
#include "parameters/ParameterTable.h"
#include "parameters/UdpTransport.h"
#include "protocol/UdpEndpoint.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvik::cli {

// OtherProduct: left alone, a configuration file of another product or version was given.
enum class UnitResult { Ok, Error, NoAnswer, ChecksumError, CredentialsNeeded, OtherProduct };
// "ok", "error", "no answer", "checksum error", "credentials needed", "other product"
std::string resultText(UnitResult result);

// What a read shows of one parameter besides its value. It is the same for every unit read
// with one description, so a fleet's read holds it once.
struct ParameterHeading {
    int index = 0;
    std::string address;
    std::string className;
    std::string parameterName;
    std::string access;
};
using ParameterHeadings = std::shared_ptr<const std::vector<ParameterHeading>>;

struct ReadOutcome {
    bool complete = false; // every requested parameter received its value
    bool refused = false;  // the unit answered with an ErrorReply
    bool sent = false;     // a request went out to it
    // A reply failed its checksum and no valid one took its place: its values were not taken.
    bool checksumError = false;
    // The parameters requested, in the order of their indexes, and this unit's text of each:
    // values[i] is the text of (*headings)[i], empty when none arrived or the parameter is
    // hidden. No headings when nothing was sent to the unit.
    ParameterHeadings headings;
    std::vector<std::string> values;

    std::size_t parameterCount() const {
        return headings ? std::min(headings->size(), values.size()) : 0;
    }
    const ParameterHeading& heading(std::size_t i) const { return (*headings)[i]; }
    // The text read for the parameter of index `index`; nullptr when it was not read.
    const std::string* valueOf(int index) const;
};

// One value of a write: the parameter and the text for its value column.
struct PlannedValue {
    int parameter = 0;
    std::string text;
    friend bool operator==(const PlannedValue&, const PlannedValue&) = default;
};

// Runs the parameter operations of one ParameterSession for the command line: it is the
// session's unit selection, feeds it the datagrams of the parameter socket and decides, from
// what the session reports, when each unit is done. The GUI never gives up on a reply; a
// process must end, so every awaited reply gets `timeout`, counted afresh only when an
// unfinished unit makes progress (a new value, an acknowledgement, a refusal, a request for
// the next part); junk, repeats and stale replies never extend it, and no wait lasts longer
// than waitLimit().
//
// The tool is stricter than the desktop program about what it takes as a unit's reply: a
// ReadReply or WriteAck that fails its checksum is reported with the unit's name and not
// taken (a later valid reply to the same request still is), and a unit reached by its own
// address must answer from that address.
class SessionDriver final : private SessionEvents, private UnitSelection {
public:
    struct Settings {
        std::string dataDirectory;
        EndpointSettings endpoints;
        std::chrono::milliseconds timeout{3000};
        std::optional<Credentials> credentials; // --id/--password
        bool interactive = false;
        std::optional<std::chrono::milliseconds> pace; // --pace: a fixed pause per unit
        int retries = kDefaultRetries;
    };
    static constexpr int kDefaultRetries = 4;

    SessionDriver(Settings settings, ConsoleDialogs& dialogs, Traffic& traffic);
    ~SessionDriver() override;
    SessionDriver(const SessionDriver&) = delete;
    SessionDriver& operator=(const SessionDriver&) = delete;

    // Binds the parameter socket; false when that fails.
    bool open();

    // The checks and the description parse for `units`, nothing sent; false when refused (the
    // session has said why).
    bool prepare(const std::vector<DeviceRecord>& units);
    // Class groups of the description prepared last, entry 0 being "All classes".
    const std::vector<std::string>& groupNames() const;
    // Index of the class group called `name` (exact, else ignoring case), or -1.
    int findGroup(const std::string& name) const;

    // Reads everything (no group) or one class group of `units`.
    std::vector<ReadOutcome> read(const std::vector<DeviceRecord>& units, std::optional<int> group);
    // Writes `plan` to `units`. A plan that changes the login ID or password is written to one
    // unit at a time, each followed by a read, so that the credential log follows the change
    // of every unit (the session follows one login change per write).
    std::vector<UnitResult> write(const std::vector<DeviceRecord>& units,
                                  const std::vector<PlannedValue>& plan);
    std::vector<UnitResult> reboot(const std::vector<DeviceRecord>& units);
    // After a read of `units`: for each unit, the values of a configuration file put into a
    // list holding that unit's own values (`reads`, in the order of `units`); the parameters
    // it marked, with their texts. Nothing when the file was refused.
    std::optional<std::vector<std::vector<PlannedValue>>>
    loadConfiguration(const std::vector<DeviceRecord>& units, const std::vector<ReadOutcome>& reads,
                      const std::string& path);
    // After a read: `unit`'s own values (`read`) saved as a configuration file, as a save of
    // that unit alone would write them. False when nothing was written (the session said why).
    bool saveUnitValues(const DeviceRecord& unit, const ReadOutcome& read, const std::string& path);
    // The same as a new file folder/stem.cnf (a unique name when that one is taken).
    FileWrite backupUnitValues(const DeviceRecord& unit, const ReadOutcome& read,
                               const std::string& folder, const std::string& stem);
    // After a read of `units`: the shown values saved. False when nothing was written.
    bool saveConfiguration(const std::vector<DeviceRecord>& units, const std::string& path);

    // The value text `text` for the parameter at `address` of the prepared description:
    // the parameter index, or an explanation of why not.
    struct AssignmentCheck {
        int parameter = -1;
        std::string problem;
    };
    AssignmentCheck checkAssignment(const std::string& address, const std::string& text) const;
    AssignmentCheck checkValue(int parameter, const std::string& text) const;

    // A unit refused the credentials and nothing here could offer others.
    bool credentialsNeeded() const { return credentialsNeeded_; }
    // A unit whose login was changed could not be read back with its new login.
    bool loginReadBackFailed() const { return loginReadBackFailed_; }
    // A login that a unit accepted could not be recorded in pwd.ini (the session said why).
    bool credentialLogFailed() const { return credentialLogFailed_; }

    // The longest one wait for the replies of `units` units may last, besides the session's
    // pauses between units when a reply makes it send the next part.
    static std::chrono::milliseconds waitLimit(std::chrono::milliseconds timeout, int units);

    ParameterSession& session() { return *session_; }
    ParameterTable& table() { return *table_; }

private:
    enum class Phase { Idle, Read, FollowUp, Write, Reboot };

    struct Progress {
        std::vector<std::optional<std::string>> values; // by parameter index
        int requestedDecoded = 0;
        bool sent = false; // a request of the operation went out to it
        bool finished = false;
        bool refused = false;
        bool checksumFailed = false; // a reply failed its checksum (reported once)
        UnitResult result = UnitResult::NoAnswer;
    };

    // UnitSelection
    std::vector<DeviceRecord> selectedUnits() const override { return selection_; }
    // SessionEvents
    void requestSent(int unit, Command command, std::span<const std::uint8_t> datagram) override;
    // The tool's rules on top of the session's: the unit answers from where it was asked,
    // checksums must match, and a refusal is the unit's result unless the session can recover.
    bool admitReply(int unit, const ParsedFrame& frame, std::string_view source) override;
    void unitAnswered(int unit, UnitAnswer answer, Command reply) override;
    void valueDecoded(int unit, int parameter, const std::string& text) override;
    void credentialLogSaved(bool saved) override;

    void begin(Phase phase, const std::vector<DeviceRecord>& units);
    void requestRange(int first, int end);
    void finish(int unit, UnitResult result);
    bool anyRequestOutstanding() const;
    bool allFinished() const;
    // Pumps the parameter socket until every unit is finished, nothing is outstanding or the
    // time-out passes without a reply.
    void awaitReplies();
    bool rejectChecksum(int unit, const ParsedFrame& frame);
    bool sessionShouldRecover(int unit) const;
    void refuse(int unit);
    std::vector<UnitResult> results() const;
    std::vector<UnitResult> writeOnce(const std::vector<DeviceRecord>& units,
                                      const std::vector<PlannedValue>& plan);
    bool readBackAfterLoginChange(const DeviceRecord& unit);
    // The scheduler's view: which unit a datagram answers, and a request sent again.
    int unitOfDatagram(std::span<const std::uint8_t> datagram) const;
    void resend(int unit, std::span<const std::uint8_t> datagram);
    bool takeDuringSends(std::span<const std::uint8_t> datagram, const std::string& source);
    void handleReply(std::span<const std::uint8_t> datagram, const std::string& source);
    void expectReadReplies();
    void noteUnrepeated();
    // A unit's values of a read put into the value column, as that unit alone would fill it.
    void showValues(const ReadOutcome& read);

    Settings settings_;
    ConsoleDialogs& dialogs_;
    Traffic& traffic_;
    std::optional<UdpEndpoint> endpoint_;
    std::unique_ptr<UdpTransport> transport_;
    SleepingPacer sleepingPacer_;
    std::unique_ptr<FleetScheduler> scheduler_;
    std::unique_ptr<MeasuredPacer> pacer_;
    bool writeRepeatable_ = true; // a write that changes no login may be sent again
    std::unique_ptr<ParameterTable> table_;
    ClassFilterEntries classFilter_;
    std::unique_ptr<ParameterSession> session_;

    std::vector<DeviceRecord> selection_;
    Phase phase_ = Phase::Idle;
    std::vector<Progress> progress_;
    std::vector<bool> requested_;
    int requestedCount_ = 0;
    // Grows with every step an unfinished unit makes; a wait is extended only when it grew.
    long progressSteps_ = 0;
    bool credentialsNeeded_ = false;
    bool loginReadBackFailed_ = false;
    bool credentialLogFailed_ = false;
};

} // namespace morvik::cli
