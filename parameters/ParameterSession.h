#pragma once

#include "description/DeviceDescription.h"
#include "parameters/Dialogs.h"
#include "parameters/SessionPorts.h"
#include "protocol/ByteOrder.h"
#include "protocol/ParameterFrame.h"
#include "stores/CredentialLog.h"
#include "stores/SafeFile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvik {

class ParameterTable;
class ClassFilter;

// One selected unit of the current operation.
struct TargetUnit {
    std::string mac; // upper case
    std::string loginId;
    std::string password;
    std::array<std::uint8_t, 2> requestId{}; // as sent
    bool requestSent = false;                // a request of the current operation went out
    // While a class group is read in passes, the tag of this unit's request in the pass before:
    // the first answer to a pass sends the next one, so the other units' answers to the same
    // pass arrive after their tags have changed. Their values are still taken.
    std::array<std::uint8_t, 2> earlierPassRequestId{};
    bool earlierPassLive = false;
    // Where this unit stands in the current write. Each unit goes through the marked rows on
    // its own: its latest request holds the rows from writePartStart, its next one starts at
    // writeNextRow (the line count once its latest request holds its last rows).
    int writePartStart = 0;
    int writeNextRow = 0;
    int writeParts = 0;             // requests of the write sent to it
    bool writeAcknowledged = false; // it acknowledged its latest request
    bool writeStopped = false;      // it refused, or its next request could not be made
};

// What a unit's reply to the operation says.
enum class UnitAnswer {
    Accepted,    // it took the write or the reboot
    Refused,     // it refused the credentials
    ValuesTaken, // it sent values, which went into the list
};

// Told what the session does, for the command line tool and the tests. Nothing here changes
// what the session does.
class SessionEvents {
public:
    virtual ~SessionEvents() = default;
    virtual void requestSent(int /*unit*/, Command /*command*/,
                             std::span<const std::uint8_t> /*datagram*/) {}
    // Asked before the reply of `unit` (found by its tag) is handled; false drops it as if it
    // never came. `source` is the address it came from, empty when unknown.
    virtual bool admitReply(int /*unit*/, const ParsedFrame& /*frame*/,
                            std::string_view /*source*/) {
        return true;
    }
    virtual void replyAccepted(int /*unit*/, const ParsedFrame& /*frame*/) {}
    // What the unit's admitted reply says, told before the session acts on it.
    virtual void unitAnswered(int /*unit*/, UnitAnswer /*answer*/, Command /*reply*/) {}
    virtual void valueDecoded(int /*unit*/, int /*parameter*/, const std::string& /*text*/) {}
    // A change of the credential log was written (true) or lost (false; the message is shown).
    virtual void credentialLogSaved(bool /*saved*/) {}
};

// Whether the selected units agree on product id, version and address mode, and on what.
struct SelectionCheck {
    bool accepted = false;
    std::string productId; // empty unless every unit has the same
    std::string version;   // empty unless every unit has the same
    std::string addressMode;
};

// The parameter pane's operations: reading, reply handling, writing, rebooting and
// configuration files, with every table and flag they share. It talks to the outside only
// through its ports, so the GUI, the command line tool and the tests drive the same code.
class ParameterSession {
public:
    static constexpr int kMaxTargetUnits = 700;
    static constexpr std::chrono::milliseconds kUnitPause{100};

    struct Ports {
        Dialogs& dialogs;
        UnitSelection& selection;
        ParameterTable& table;
        ClassFilter& classFilter;
        Transport& transport;
        Pacer& pacer;
    };

    // `seed` seeds the request id generator (the GUI and the tool use the current time).
    ParameterSession(Ports ports, std::string dataDirectory, std::uint32_t seed);

    // A mouse selection in the device list: a fresh read of everything.
    void readParametersRequested(int group);
    void readParameters(int group);
    // The checks and the description parse of a read of everything, without sending anything:
    // the command line tool's way to know the parameters before a group read or a write.
    bool prepareDescription();
    void showGroup(int group);
    void Refresh();
    // One datagram that arrived on the parameter socket from `source` (empty when unknown).
    void handleUnitReply(std::span<const std::uint8_t> datagram, std::string_view source = {});
    // The unit of the current operation whose request `frame` answers, or -1; `earlierPass`
    // tells that it answers the pass before of a group read.
    int targetOfFrame(const ParsedFrame& frame, bool* earlierPass = nullptr) const;
    void writeParameters();
    void rebootUnits();
    // The write's latest request to `unit` holds the last of its rows: its acknowledgement
    // completes the write on that unit.
    bool writeCompletedBy(int unit) const;

    // The agreement of the selected units, as an operation starting now would find it.
    SelectionCheck checkSelection() const;
    int findParameter(std::string_view address) const;
    std::pair<int, int> findRange(std::string_view rangeAddress) const;
    std::string getValueText(int parameter) const;
    void setValueText(int parameter, std::string text);
    // Why `text` cannot be written to the parameter, as the message says it; nothing when it can.
    std::optional<std::string> writeRefusal(int parameter, std::string_view text) const;

    // Writes the header and every line of the list to `path`, replacing the file atomically
    // only after the selection was accepted. False (with a message) when nothing was written.
    bool saveConfiguration(const std::string& path);
    // The same content as a new private file folder/stem.cnf (stem-2.cnf, ... when the name is
    // taken), never replacing anything: where it went, or why not (a refusal was shown).
    FileWrite saveBackup(const std::string& folder, const std::string& stem);
    // Reads `path`, checks it against the selection and puts its values into the list.
    bool loadConfiguration(const std::string& path);
    // Clear: empties the credential log and every value cell.
    void clearCredentials();

    // State, for the views and the tests.
    int targetCount() const { return targetCount_; }
    const TargetUnit& targetUnit(int index) const {
        return targets_[static_cast<std::size_t>(index)];
    }
    int productCode() const { return productCode_; }
    int resumeIndex() const { return resumeIndex_; }
    bool forcePrompt() const { return forcePrompt_; }
    bool loginChangePending() const { return loginChangePending_; }
    const DescriptionCache& descriptionCache() const { return cache_; }
    const DescriptionSlot& currentDescription() const { return cache_.current(); }
    const std::string& dataDirectory() const { return dataDirectory_; }
    ByteOrder byteOrder() const { return byteOrderForProduct(productCode_); }

    void setEvents(SessionEvents* events) { events_ = events; }

    // How the logins that units accept reach pwd.ini: each at once, as the desktop program
    // does; collected and written together by saveCollectedLogins() (a fleet of new units
    // costs one rewrite of the file instead of one per unit); or not at all, for a run that
    // must leave every file as it is.
    enum class LoginRecording { AtOnce, Collected, Off };
    void setLoginRecording(LoginRecording recording) { loginRecording_ = recording; }
    // The logins collected since the last save, written in one save (its messages shown).
    // A new operation saves them first.
    void saveCollectedLogins();

private:
    enum class SendResult { Sent, Unreachable };

    // What an operation takes once, at its start, for all its passes and replies.
    struct Operation {
        std::vector<DeviceRecord> units;
        SelectionCheck check;
        std::string descriptionPath; // empty until a read looked the product up
    };

    // The selected units after the count checks; nothing when refused (message shown). A
    // further pass of an operation goes on with the operation's units.
    std::optional<std::vector<DeviceRecord>> takeSelection(bool continuing);
    // takeSelection, then the agreement of the units and the product code: what every
    // operation on the selected units begins with. Nothing when refused (message shown).
    std::optional<std::vector<DeviceRecord>> startOperation(bool continuing);
    static SelectionCheck checkUnits(const std::vector<DeviceRecord>& units);
    // A configuration file of the list's values, and whether it holds the units' login.
    struct ConfigurationText {
        std::string content;
        bool holdsLogin = false;
    };
    std::optional<ConfigurationText> configurationText();
    // The credential log as the current operation loaded it (at its first use).
    CredentialLog& operationLog();
    // Steps of a read up to the description parse; `group` falls back to 0 when the current
    // description has no such group.
    std::optional<std::vector<DeviceRecord>> prepareRead(int& group);

    // Sending: one request to each unit, in order, each with the credentials that
    // `credentials` gives and the body that `fillBody` appends (false: stop, the user was
    // told), `pause` after each. False when the operation stopped before its last unit.
    using CredentialsStep =
        std::function<std::optional<Credentials>(std::size_t unit, const DeviceRecord& record)>;
    using BodyStep =
        std::function<bool(std::size_t unit, const DeviceRecord& record, FrameBuilder& frame)>;
    bool sendToEachUnit(const std::vector<DeviceRecord>& units, Command command,
                        std::size_t bufferSize, const CredentialsStep& credentials,
                        const BodyStep& fillBody, std::chrono::milliseconds pause);
    // The log's credentials, a prompt for a unit it does not know.
    CredentialsStep everyUnitFromTheLog();
    void assignTarget(int unit, const DeviceRecord& record, const Credentials& credentials);
    std::optional<Credentials> credentialsFor(const DeviceRecord& unit, CredentialLog& log,
                                              bool promptAnyway, std::string_view label,
                                              int* logIndex);
    std::uint16_t nextRequestId();
    bool requestIdInUse(std::uint16_t id) const;
    void reportRequestTooLong(const DeviceRecord& unit);
    bool beginRequest(FrameBuilder& frame, int unit, const DeviceRecord& record, Command command);
    SendResult send(int unit, const DeviceRecord& record, Command command,
                    std::span<const std::uint8_t> frame);

    // Replies.
    void updateCell(int parameter, const std::string& text, int unit);
    void acceptCredentials(int unit, const ParsedFrame& frame);
    // Saves the log, or leaves it for later or for never (loginRecording_); the outcome of a
    // save is turned into messages.
    void saveCredentialLog(CredentialLog& log);
    void storeCredentialLog(CredentialLog& log);
    // `continuePasses`: a reply to the current pass of a group read sends the next pass; a
    // reply to the pass before only brings its values.
    void handleReadReply(int unit, const ParsedFrame& frame, bool continuePasses);
    void handleWriteAck(int unit);
    // A write's request body for `unit`, from where that unit stands; false when not even its
    // first row fits (the user was told).
    bool appendWritePart(int unit, const DeviceRecord& record, FrameBuilder& frame);
    // The unit's next request of the write, sent as soon as it acknowledged the one before.
    void sendWritePart(int unit);
    // After an acknowledgement of `unit`: its next request, once the user allowed that many.
    void advanceWrite(int unit);
    // A unit that refused a write waits for the others before the read with the prompt.
    bool deferRefusalOfWrite(int unit);
    // Once every unit is through or stopped: the marks cleared and the one offer to reboot,
    // or the read that a refusal asked for.
    void settleWrite();
    void clearMarksWrittenEverywhere();
    void handleErrorReply(int unit);
    bool validateMarkedValues();
    void clearMarksOfShownLines(int lineCount);

    Ports ports_;
    std::string dataDirectory_;
    std::mt19937 random_;
    DescriptionCache cache_;
    int productCode_ = 0;
    int targetCount_ = 0;
    std::array<TargetUnit, kMaxTargetUnits> targets_;
    std::array<std::string, kMaxTargetUnits> newLoginId_;
    std::array<std::string, kMaxTargetUnits> newLoginPassword_;
    bool loginChangePending_ = false;
    int resumeIndex_ = 0;
    bool forcePrompt_ = false;
    bool nextPassOfGroup_ = false; // the read being started continues a group read in passes
    // A write is going on: from its first request until every unit is through or stopped.
    // Any new operation ends it.
    bool writeActive_ = false;
    // Every unit has been sent its first request: acknowledgements move units on.
    bool writeOpen_ = false;
    int writeLines_ = 0;         // lines of the shown list the write goes through
    int writeApprovedParts_ = 0; // requests per unit that "Set Confirm" allowed so far
    bool writeAsking_ = false;   // "Set Confirm" for a further request is open
    bool writeRefused_ = false;  // a unit refused: a read with the prompt follows the write
    // The unit whose refusal forced the password prompt of the next read (upper-case MAC).
    std::string forcedPromptMac_;
    Operation operation_;
    std::optional<CredentialLog> operationLog_;
    LoginRecording loginRecording_ = LoginRecording::AtOnce;
    bool loginsCollected_ = false; // the operation log holds logins not yet saved
    // The operation being started is a further pass of the current one (taken at its start).
    bool continuingOperation_ = false;
    SessionEvents* events_ = nullptr;
};

} // namespace morvik
