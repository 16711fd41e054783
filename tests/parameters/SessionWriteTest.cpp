#include "SessionHarness.h"
#include "stores/CredentialLog.h"

namespace morvik::testing {
namespace {

using Message = ScriptedDialogs::Message;

class SessionWrite : public ::testing::Test {
protected:
    SessionWrite() : harness(fleetJson(demoUnits())) {}

    void readUnits(const std::vector<std::string>& names) {
        harness.select(names);
        harness.session().readParametersRequested(0);
        harness.pump();
        harness.events.requests.clear();
        harness.dialogs.messages.clear();
    }

    SessionHarness harness;
};

TEST_F(SessionWrite, SetSendsTheMarkedValuesClearsTheMarksAndOffersAReboot) {
    readUnits({"dock"});
    harness.edit("0.1.1", "renamed");
    harness.edit("3.7.1", "4100");
    harness.edit("3.1.1", "19200 bps");
    harness.dialogs.confirmAnswers = {true, true, true}; // Set, write completed, reboot
    harness.session().writeParameters();
    harness.pump();

    ASSERT_GE(harness.dialogs.confirmations.size(), 3u);
    EXPECT_EQ(harness.dialogs.confirmations[0].caption, "Set Confirm");
    EXPECT_EQ(harness.dialogs.confirmations[0].line1, "You are to update parameter values !");
    EXPECT_EQ(harness.dialogs.confirmations[0].line2, "               Do you want to continue ? ");
    EXPECT_EQ(harness.dialogs.confirmations[0].line3, "");
    EXPECT_EQ(harness.dialogs.confirmations[1].caption, "Reboot Confirm");
    EXPECT_EQ(harness.dialogs.confirmations[1].line1, "Parameter values updated !");
    EXPECT_EQ(harness.dialogs.confirmations[2].caption, "Reboot Confirm");
    EXPECT_EQ(harness.dialogs.confirmations[2].line1, "You are to reboot the device(s) !");
    EXPECT_EQ(harness.dialogs.messages,
              (std::vector<Message>{{"Shut down completed!. Now rebooting...", "Done"}}));

    EXPECT_EQ(harness.unitValue("dock", "0.1.1"), "renamed");
    EXPECT_EQ(harness.unitValue("dock", "3.7.1"), "4100");
    EXPECT_EQ(harness.unitValue("dock", "3.1.1"), "19200 bps");
    EXPECT_EQ(harness.unitValue("dock", "1.1.1"), "192.168.10.21"); // not marked, not written
    for (int line = 0; line < harness.table.lineCount(); ++line) {
        EXPECT_EQ(harness.table.modifiedMark(harness.table.parameterOfLine(line)), 0);
    }
    // The write request carried exactly the three marked entries; no padding byte.
    ASSERT_EQ(harness.events.countRequests(Command::WriteRequest), 1);
    EXPECT_EQ(harness.events.countRequests(Command::RebootRequest), 1);
}

TEST_F(SessionWrite, NoToSetConfirmSendsNothing) {
    readUnits({"dock"});
    harness.edit("0.1.1", "renamed");
    harness.dialogs.confirmAnswers = {false};
    harness.session().writeParameters();
    harness.pump();
    EXPECT_TRUE(harness.events.requests.empty());
    EXPECT_EQ(harness.unitValue("dock", "0.1.1"), "dock");
    EXPECT_EQ(harness.table.modifiedMark(harness.session().findParameter("0.1.1")), 1);
}

TEST_F(SessionWrite, AWriteWithoutMarksStillReachesEveryUnitAndBringsTheRebootOffer) {
    readUnits({"dock", "lab"});
    harness.dialogs.confirmAnswers = {true, false, false};
    harness.session().writeParameters();
    harness.pump();
    ASSERT_EQ(harness.events.countRequests(Command::WriteRequest), 2);
    for (const auto& request : harness.events.requests) {
        // frameLength 5: no entries. It follows the ID "admin" and the password "quorvane".
        const std::size_t lengthAt = 4 + 1 + 5 + 1 + 8;
        EXPECT_EQ(request.bytes[lengthAt] | (request.bytes[lengthAt + 1] << 8), 5);
    }
    // One "Reboot Confirm" for the write, once every unit has acknowledged it.
    ASSERT_EQ(harness.dialogs.confirmations.size(), 2u);
    EXPECT_EQ(harness.dialogs.confirmations[1].caption, "Reboot Confirm");
    EXPECT_EQ(harness.dialogs.confirmations[1].line1, "Parameter values updated !");
}

// The offer to reboot waits for the last unit's acknowledgement; acknowledgements (repeats
// included) that arrive while it is open neither stack another offer nor reboot again.
TEST_F(SessionWrite, SeveralUnitsGetOneRebootOfferAndYesRebootsEachUnitOnce) {
    readUnits({"dock", "lab"});
    int depth = 0;
    int deepest = 0;
    harness.dialogs.onConfirm = [&](const ScriptedDialogs::Confirmation& confirmation) {
        if (confirmation.line1 != "Parameter values updated !") {
            return;
        }
        ++depth;
        deepest = std::max(deepest, depth);
        // The dialog's own event loop delivers whatever is still arriving.
        harness.pump();
        --depth;
    };
    harness.edit("0.7.1", "ops desk");
    harness.dialogs.confirmAnswers = {true, true, true}; // Set, write completed, reboot
    harness.session().writeParameters();
    harness.pump();
    EXPECT_EQ(deepest, 1);
    std::vector<std::string> captions;
    for (const auto& confirmation : harness.dialogs.confirmations) {
        captions.push_back(confirmation.caption + ": " + confirmation.line1);
    }
    EXPECT_EQ(captions,
              (std::vector<std::string>{"Set Confirm: You are to update parameter values !",
                                        "Reboot Confirm: Parameter values updated !",
                                        "Reboot Confirm: You are to reboot the device(s) !"}));
    EXPECT_EQ(harness.events.countRequests(Command::WriteRequest), 2);
    EXPECT_EQ(harness.events.countRequests(Command::RebootRequest), 2);
    EXPECT_EQ(harness.unitValue("dock", "0.7.1"), "ops desk");
    EXPECT_EQ(harness.unitValue("lab", "0.7.1"), "ops desk");
}

TEST_F(SessionWrite, MarkedValuesPastOneRequestAreWrittenInTwoPasses) {
    readUnits({"rack"});
    // Every writable text parameter of the sixteen ports: far more than 520 bytes of entries.
    const DescriptionSlot& description = harness.session().currentDescription();
    std::vector<std::string> written;
    for (int p = 0; p < description.rowCount(); ++p) {
        const ParameterRow& row = *description.row(p);
        if (row.typeName == "*char" &&
            harness.table.description().accessKind(p) == AccessKind::ReadWrite &&
            row.address.rfind("2.", 0) != 0) {
            harness.edit(row.address, "t" + std::to_string(p));
            written.push_back(row.address);
        }
    }
    ASSERT_GT(written.size(), 20u);
    harness.dialogs.answerConfirm = [](const ScriptedDialogs::Confirmation& confirmation) {
        return confirmation.caption == "Set Confirm";
    };
    harness.session().writeParameters();
    EXPECT_NE(harness.session().resumeIndex(), 0);
    harness.pump();

    // Each further pass asks again; the write ends with the reboot offer.
    const int passes = harness.events.countRequests(Command::WriteRequest);
    EXPECT_GE(passes, 2);
    ASSERT_EQ(harness.dialogs.confirmations.size(), static_cast<std::size_t>(passes) + 1);
    for (int pass = 0; pass < passes; ++pass) {
        EXPECT_EQ(harness.dialogs.confirmations[static_cast<std::size_t>(pass)].caption,
                  "Set Confirm");
    }
    EXPECT_EQ(harness.dialogs.confirmations.back().caption, "Reboot Confirm");
    for (const auto& request : harness.events.requests) {
        EXPECT_LE(request.bytes.size(), kRequestBufferSize);
    }
    for (const std::string& address : written) {
        const int p = harness.session().findParameter(address);
        EXPECT_EQ(harness.unitValue("rack", address), "t" + std::to_string(p)) << address;
        EXPECT_EQ(harness.table.modifiedMark(p), 0) << address;
    }
}

// Two Orion16 units whose logins differ in length: the same marked rows cross the size of one
// request at different rows for each of them.
std::string unitsWithLoginsOfOtherLengths(const std::string& firstFaults = {}) {
    return unitJson("long", "02:4D:56:00:00:03", "127.77.0.3", 61, "3.10", "admin", "quorvane",
                    firstFaults) +
           "," + unitJson("short", "02:4D:56:00:00:06", "127.77.0.6", 61, "3.10", "admin", "orion");
}

// Marks every writable text row of the ports.
std::vector<std::string> markPortTexts(SessionHarness& harness) {
    const DescriptionSlot& description = harness.session().currentDescription();
    std::vector<std::string> written;
    for (int p = 0; p < description.rowCount(); ++p) {
        const ParameterRow& row = *description.row(p);
        if (row.typeName == "*char" &&
            harness.table.description().accessKind(p) == AccessKind::ReadWrite &&
            row.address.rfind("2.", 0) != 0) {
            harness.edit(row.address, "t" + std::to_string(p));
            written.push_back(row.address);
        }
    }
    return written;
}

TEST(SessionWritePasses, EveryUnitGetsEveryMarkedRowWhenLoginsDifferInLength) {
    // Small numeric rows before the ports move the point where a request fills up; with some
    // of them the two logins' requests stop at different rows.
    const std::vector<std::pair<std::string, std::string>> smallRows = {
        {"1.8.1", "64"}, {"1.7.1", "1400  bytes"}, {"1.13.1", "7"}, {"1.6.1", "30  sec"}};
    int differingStops = 0;
    for (std::size_t prefix = 0; prefix <= smallRows.size(); ++prefix) {
        SCOPED_TRACE(prefix);
        SessionHarness harness(fleetJson(unitsWithLoginsOfOtherLengths()));
        harness.select({"long", "short"});
        harness.session().readParametersRequested(0);
        harness.pump();
        harness.events.requests.clear();
        std::vector<std::string> written = markPortTexts(harness);
        for (std::size_t i = 0; i < prefix; ++i) {
            harness.edit(smallRows[i].first, smallRows[i].second);
            written.push_back(smallRows[i].first);
        }
        harness.dialogs.answerConfirm = [](const ScriptedDialogs::Confirmation& confirmation) {
            return confirmation.caption == "Set Confirm";
        };
        harness.session().writeParameters();
        ASSERT_EQ(harness.events.requests.size(), 2u);
        // The passwords differ by three characters; any other difference is other entries.
        if (harness.events.requests[0].bytes.size() !=
            harness.events.requests[1].bytes.size() + 3) {
            ++differingStops;
        }
        harness.pump();

        EXPECT_EQ(harness.dialogs.confirmations.back().line1, "Parameter values updated !");
        for (const std::string& address : written) {
            const std::string wanted = harness.cell(address);
            EXPECT_EQ(harness.unitValue("long", address), wanted) << address;
            EXPECT_EQ(harness.unitValue("short", address), wanted) << address;
            EXPECT_EQ(harness.table.modifiedMark(harness.session().findParameter(address)), 0);
        }
    }
    EXPECT_GT(differingStops, 0) << "no layout made the requests stop at different rows";
}

// A unit that never acknowledges, or refuses, holds back no other unit: the others get every
// marked row, part after part. A silent unit leaves the write unfinished: the rows stay marked
// for the next Set and nothing says the values were updated.
TEST(SessionWritePasses, ASilentUnitHoldsBackNoOtherAndTheMarksStay) {
    struct Case {
        const char* label;
        bool manyRows; // more than one request holds
        const char* fault;
    };
    for (const Case& c :
         {Case{"one request", false, "noAnswer"}, Case{"several passes", true, "noAnswer"},
          Case{"several passes, a refusal", true, "errorReply"}}) {
        SCOPED_TRACE(c.label);
        SessionHarness harness(fleetJson(
            unitsWithLoginsOfOtherLengths() + "," +
            unitJson("mute", "02:4D:56:00:00:09", "127.77.0.9", 61, "3.10", "admin", "quorvane",
                     std::string(R"("faults": {")") + c.fault + R"(": true})")));
        harness.select({"long", "short", "mute"});
        harness.session().prepareDescription();
        std::vector<std::string> written{"0.6.1"};
        if (c.manyRows) {
            written = markPortTexts(harness);
        } else {
            harness.edit("0.6.1", "hall 2");
        }
        harness.dialogs.answerConfirm = [](const ScriptedDialogs::Confirmation&) { return true; };
        harness.dialogs.promptAnswers.push_back(Credentials{"admin", "quorvane"}); // mute
        harness.dialogs.promptAnswers.push_back(Credentials{"admin", "quorvane"}); // re-read
        const bool silent = std::string(c.fault) == "noAnswer";
        harness.session().writeParameters();
        harness.pump();

        EXPECT_EQ(harness.events.countRequests(Command::WriteRequest) > 3, c.manyRows);
        for (const auto& confirmation : harness.dialogs.confirmations) {
            EXPECT_EQ(confirmation.caption, "Set Confirm");
        }
        for (const std::string& address : written) {
            const int p = harness.session().findParameter(address);
            const std::string wanted = c.manyRows ? "t" + std::to_string(p) : "hall 2";
            EXPECT_EQ(harness.unitValue("long", address), wanted) << address;
            EXPECT_EQ(harness.unitValue("short", address), wanted) << address;
            EXPECT_EQ(harness.table.modifiedMark(p), silent ? 1 : 0) << address;
        }
    }
}

TEST_F(SessionWrite, ALoginChangeIsFollowedByTheCredentialLog) {
    readUnits({"dock"});
    harness.edit("2.1.2", "n3w-secret");
    harness.dialogs.confirmAnswers = {true, false};
    harness.session().writeParameters();
    EXPECT_TRUE(harness.session().loginChangePending());
    harness.pump();
    // The unit now refuses the old password: the next read gets an error, the log follows the
    // change without a word and the read is made again with the new password.
    harness.session().Refresh();
    harness.pump();
    EXPECT_TRUE(harness.dialogs.messages.empty());
    EXPECT_TRUE(harness.dialogs.promptLabels.empty());
    EXPECT_FALSE(harness.session().loginChangePending());
    CredentialLog log(harness.data().directory());
    log.load();
    log.select(log.find("02:4D:56:00:00:01"));
    EXPECT_EQ(log.currentEntry().loginId, "admin");
    EXPECT_EQ(log.currentEntry().password, "n3w-secret");
    EXPECT_EQ(harness.cell("0.1.1"), "dock");
}

TEST_F(SessionWrite, AValueThatNamesNoChoiceIsRefusedBeforeAnythingIsSent) {
    readUnits({"dock"});
    harness.edit("3.1.1", "fast please");
    harness.dialogs.confirmAnswers = {true};
    harness.session().writeParameters();
    ASSERT_EQ(harness.dialogs.messages.size(), 1u);
    EXPECT_NE(harness.dialogs.messages[0].text.find("fast please"), std::string::npos);
    EXPECT_TRUE(harness.dialogs.confirmations.empty());
    EXPECT_TRUE(harness.events.requests.empty());
}

TEST_F(SessionWrite, CredentialsTooLongForARequestAreRefusedForThatUnit) {
    readUnits({"stranger"});
    // 16 bytes of frame and 90 of credentials do not fit the 100 bytes of a reboot request.
    harness.dialogs.promptAnswers.push_back(
        Credentials{std::string(45, 'i'), std::string(45, 'p')});
    harness.dialogs.confirmAnswers = {true};
    harness.session().rebootUnits();
    ASSERT_EQ(harness.dialogs.messages.size(), 1u);
    EXPECT_NE(harness.dialogs.messages[0].text.find("02:4D:56:00:00:08"), std::string::npos);
    EXPECT_TRUE(harness.events.requests.empty());
}

TEST_F(SessionWrite, RebootAsksAndEveryAcknowledgementIsReported) {
    readUnits({"dock", "lab"});
    harness.dialogs.confirmAnswers = {true};
    harness.session().rebootUnits();
    harness.pump();
    ASSERT_EQ(harness.dialogs.confirmations.size(), 1u);
    EXPECT_EQ(harness.dialogs.confirmations[0].line2, "It makes device(s) sleep somewhile. ");
    EXPECT_EQ(harness.dialogs.confirmations[0].line3, "Do you want to reboot device(s) now? ");
    EXPECT_EQ(harness.dialogs.messages,
              (std::vector<Message>(2, {"Shut down completed!. Now rebooting...", "Done"})));
}

TEST_F(SessionWrite, RebootFrameHasTheFixedBody) {
    readUnits({"dock"});
    harness.dialogs.confirmAnswers = {false};
    harness.session().rebootUnits();
    EXPECT_TRUE(harness.events.requests.empty());

    harness.dialogs.confirmAnswers = {true};
    harness.session().rebootUnits();
    ASSERT_EQ(harness.events.requests.size(), 1u);
    const auto& frame = harness.events.requests[0].bytes;
    // ID "admin", password "quorvane", frameLength 8, command F0, body 00 00 00, checksum.
    ASSERT_EQ(frame.size(), 4u + 1 + 5 + 1 + 8 + 2 + 2 + 1 + 3 + 2);
    EXPECT_EQ(frame[19], 8);
    EXPECT_EQ(frame[23], 0xF0);
    EXPECT_EQ((std::vector<std::uint8_t>(frame.begin() + 24, frame.begin() + 27)),
              (std::vector<std::uint8_t>{0, 0, 0}));
}

// A unit that cannot be reached is reported and holds no request of the operation, so nothing
// waits for its reply.
TEST_F(SessionWrite, AUnitThatCannotBeReachedHoldsNoRequest) {
    const std::vector<std::pair<const char*, void (ParameterSession::*)()>> operations = {
        {"write", &ParameterSession::writeParameters},
        {"reboot", &ParameterSession::rebootUnits},
        {"read", &ParameterSession::Refresh},
    };
    for (const auto& [label, operation] : operations) {
        SCOPED_TRACE(label);
        readUnits({"dock", "lab"});
        harness.selection.units[1].ip = "0.0.0.0";
        harness.dialogs.answerConfirm = [](const ScriptedDialogs::Confirmation& confirmation) {
            return confirmation.line1 != "Parameter values updated !";
        };
        (harness.session().*operation)();
        EXPECT_EQ(harness.dialogs.messages,
                  (std::vector<Message>{{"Can't send to 0.0.0.0", "Error"}}));
        EXPECT_TRUE(harness.session().targetUnit(0).requestSent);
        EXPECT_FALSE(harness.session().targetUnit(1).requestSent);
        harness.pump();
    }
}

struct RefusedOperation {
    const char* label;
    void (ParameterSession::*operation)();
};

TEST_F(SessionWrite, WriteAndRebootRefuseEmptyAndMixedSelections) {
    const std::vector<RefusedOperation> operations = {
        {"write", &ParameterSession::writeParameters},
        {"reboot", &ParameterSession::rebootUnits},
    };
    for (const RefusedOperation& operation : operations) {
        SCOPED_TRACE(operation.label);
        harness.dialogs.messages.clear();
        harness.selection.units.clear();
        (harness.session().*operation.operation)();
        harness.select({"dock", "rack"});
        (harness.session().*operation.operation)();
        EXPECT_EQ(harness.dialogs.messages,
                  (std::vector<Message>{{"No Selected Device !!", "Error"},
                                        {"You've selected other devices.!!", "Error"}}));
        EXPECT_TRUE(harness.dialogs.confirmations.empty());
        EXPECT_TRUE(harness.events.requests.empty());
    }
}

} // namespace
} // namespace morvik::testing
