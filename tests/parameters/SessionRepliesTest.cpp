#include "SessionHarness.h"
#include "protocol/FrameChecksum.h"
#include "stores/CredentialLog.h"

namespace morvik::testing {
namespace {

using Message = ScriptedDialogs::Message;

// A reply made by hand for the session's first target unit, as a unit would send it.
std::vector<std::uint8_t> craftedReply(const ParameterSession& session, Command command,
                                       const std::vector<std::uint8_t>& body,
                                       int frameLengthAdjust = 0,
                                       const std::string& loginId = "admin",
                                       const std::string& password = "quorvane") {
    std::vector<std::uint8_t> frame{0x03, 0xA8, 0x16, 0xDA};
    frame.push_back(static_cast<std::uint8_t>(loginId.size()));
    frame.insert(frame.end(), loginId.begin(), loginId.end());
    frame.push_back(static_cast<std::uint8_t>(password.size()));
    frame.insert(frame.end(), password.begin(), password.end());
    const int length = static_cast<int>(body.size()) + 5 + frameLengthAdjust;
    frame.push_back(static_cast<std::uint8_t>(length & 0xFF)); // product 07: low byte first
    frame.push_back(static_cast<std::uint8_t>((length >> 8) & 0xFF));
    const auto id = session.targetUnit(0).requestId;
    frame.push_back(id[0]);
    frame.push_back(id[1]);
    frame.push_back(static_cast<std::uint8_t>(command));
    frame.insert(frame.end(), body.begin(), body.end());
    const auto checksum = frameChecksum(frame, 7);
    frame.insert(frame.end(), checksum.begin(), checksum.end());
    return frame;
}

class SessionReplies : public ::testing::Test {
protected:
    SessionReplies() : harness(fleetJson(demoUnits())) {
        harness.select({"dock"});
        harness.session().readParametersRequested(0);
        harness.pump();
        harness.dialogs.messages.clear();
        nameParameter = harness.session().findParameter("0.1.1");
        // A fresh read whose answer the test gives itself.
        harness.session().Refresh();
        harness.simulator(); // the unit's own answer is never pumped in these tests
    }

    // Entry for the 16-byte device name (address 0.1.1) holding `text`.
    static std::vector<std::uint8_t> nameEntry(const std::string& text) {
        std::vector<std::uint8_t> entry{3, 0, 1, 1, 16, 0};
        std::vector<std::uint8_t> value(16, 0);
        std::copy(text.begin(), text.end(), value.begin());
        entry.insert(entry.end(), value.begin(), value.end());
        return entry;
    }

    SessionHarness harness;
    int nameParameter = -1;
};

TEST_F(SessionReplies, ChecksumMismatchIsReportedAndTheValuesShownAllTheSame) {
    auto reply = craftedReply(harness.session(), Command::ReadReply, nameEntry("bent"));
    const std::uint16_t computed = reply[reply.size() - 2] | (reply[reply.size() - 1] << 8);
    reply[reply.size() - 2] ^= 0x01;
    const std::uint16_t received = reply[reply.size() - 2] | (reply[reply.size() - 1] << 8);
    harness.session().handleUnitReply(reply);
    ASSERT_EQ(harness.dialogs.messages.size(), 1u);
    EXPECT_EQ(harness.dialogs.messages[0], (Message{"cal : " + std::to_string(computed) +
                                                        " recv : " + std::to_string(received) + " ",
                                                    "Error"}));
    EXPECT_EQ(harness.cell("0.1.1"), "bent");
}

TEST_F(SessionReplies, BodyOverrunShowsMessageLengthErrorAfterTheValuesBeforeIt) {
    auto body = nameEntry("first");
    body.push_back(3); // an entry whose components lie past the declared body
    body.push_back(0);
    harness.session().handleUnitReply(craftedReply(harness.session(), Command::ReadReply, body));
    EXPECT_EQ(harness.dialogs.messages, (std::vector<Message>{{"Message length error", "Error"}}));
    EXPECT_EQ(harness.cell("0.1.1"), "first");
}

TEST_F(SessionReplies, NegativeBodyLengthIsAMessageLengthError) {
    harness.session().handleUnitReply(craftedReply(harness.session(), Command::ReadReply, {}, -1));
    EXPECT_EQ(harness.dialogs.messages, (std::vector<Message>{{"Message length error", "Error"}}));
}

TEST_F(SessionReplies, AnUnknownAddressEndsTheDatagramQuietly) {
    std::vector<std::uint8_t> body{3, 9, 9, 9, 1, 0, 42};
    const auto later = nameEntry("never");
    body.insert(body.end(), later.begin(), later.end());
    const std::string before = harness.cell("0.1.1");
    harness.session().handleUnitReply(craftedReply(harness.session(), Command::ReadReply, body));
    EXPECT_TRUE(harness.dialogs.messages.empty());
    EXPECT_EQ(harness.cell("0.1.1"), before);
}

TEST_F(SessionReplies, AValueArrivingForAnEditedParameterOverwritesItAndClearsTheMark) {
    harness.table.setModifiedMark(nameParameter, 1);
    harness.session().handleUnitReply(
        craftedReply(harness.session(), Command::ReadReply, nameEntry("fresh")));
    EXPECT_EQ(harness.cell("0.1.1"), "fresh");
    EXPECT_EQ(harness.table.modifiedMark(nameParameter), 0);
}

TEST_F(SessionReplies, RepliesThatBelongToNoCurrentRequestAreDropped) {
    auto reply = craftedReply(harness.session(), Command::ReadReply, nameEntry("stale"));
    const std::string before = harness.cell("0.1.1");
    // Garbage, a foreign signature, and a request id no unit was given.
    harness.session().handleUnitReply(std::vector<std::uint8_t>{1, 2, 3});
    auto foreign = reply;
    foreign[2] = 0x17;
    harness.session().handleUnitReply(foreign);
    auto unknown = reply;
    unknown[21] ^= 0xFF; // the first byte of the request id
    harness.session().handleUnitReply(unknown);
    // A reply to an earlier read, after a new operation began.
    harness.session().Refresh();
    harness.session().handleUnitReply(reply);
    EXPECT_EQ(harness.cell("0.1.1"), before);
    EXPECT_TRUE(harness.dialogs.messages.empty());
}

TEST_F(SessionReplies, AnErrorReplyNeverAddsCredentialsToTheLog) {
    CredentialLog emptied(harness.data().directory());
    emptied.clearFile();
    harness.dialogs.promptAnswers.push_back(Credentials{"admin", "quorvane"});
    harness.session().Refresh(); // prompts now: the log is empty
    harness.dialogs.promptAnswers.clear();
    harness.session().handleUnitReply(craftedReply(harness.session(), Command::ErrorReply, {}));
    CredentialLog log(harness.data().directory());
    log.load();
    EXPECT_EQ(log.find("02:4D:56:00:00:01"), -1);
    // The same fields in a read reply do add them.
    harness.dialogs.promptAnswers.push_back(Credentials{"admin", "quorvane"});
    harness.session().Refresh();
    harness.session().handleUnitReply(
        craftedReply(harness.session(), Command::ReadReply, nameEntry("known")));
    log.load();
    EXPECT_GE(log.find("02:4D:56:00:00:01"), 0);
}

TEST_F(SessionReplies, ADatagramCutShortNeverReadsPastItsEnd) {
    const auto reply = craftedReply(harness.session(), Command::ReadReply, nameEntry("cut"));
    for (std::size_t length = 0; length < reply.size(); ++length) {
        // Each prefix in a buffer of exactly its size: the sanitizers catch any overrun.
        const std::vector<std::uint8_t> prefix(reply.begin(),
                                               reply.begin() + static_cast<long>(length));
        harness.session().handleUnitReply(prefix);
    }
    // No prefix leaves the session unable to take the whole datagram.
    harness.session().handleUnitReply(reply);
    EXPECT_EQ(harness.cell("0.1.1"), "cut");
}

} // namespace
} // namespace morvik::testing
