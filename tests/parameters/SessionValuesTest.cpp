#include "SessionHarness.h"
#include "stores/CredentialLog.h"
#include "support/ValueRowsProduct.h"

#include <bit>
#include <sys/stat.h>

namespace morvik::testing {
namespace {

const std::string kEightMac = "02:4D:56:00:00:30";

// One unit of the product with the tricky value rows, which stores what it is sent.
std::string valueRowsFleet() {
    return fleetJson(unitJson(
        "eight", kEightMac, "127.77.0.30", kValueRowsProductId, kValueRowsVersion, "admin",
        "quorvane",
        R"("values": {"0.1.1": "eight", "0.2.1": "30", "0.3.1": "3", "0.4.1": "Full duplex",
                    "0.5.1": "02-00-00-00-00-01", "0.6.1": "10.0.0.1", "0.7.1": "1.5",
                    "0.9.1": "host_name_01"})"));
}

class SessionValues : public ::testing::Test {
protected:
    SessionValues() : harness(valueRowsFleet(), {{kValueRowsFileName, valueRowsDescription()}}) {
        harness.select({"eight"});
        harness.dialogs.promptAnswers.push_back(Credentials{"admin", "quorvane"});
        harness.session().readParametersRequested(0);
        harness.pump();
        EXPECT_TRUE(harness.dialogs.messages.empty());
        EXPECT_EQ(harness.cell("0.1.1"), "eight");
        harness.events.requests.clear();
        harness.dialogs.messages.clear();
        harness.dialogs.confirmations.clear();
    }

    std::vector<std::uint8_t> unitBytes(const std::string& address) const {
        return harness.simulator().unit(0).value(address).value_or(std::vector<std::uint8_t>{});
    }

    SessionHarness harness;
};

// Each text reaches the unit as the value the user chose.
TEST_F(SessionValues, TypedTextsReachTheUnitAsTheChosenValues) {
    struct Case {
        std::string address;
        std::string typed;
        std::string stored; // as the unit shows it afterwards
    } const cases[] = {
        {"0.2.1", "No limit  s", "No limit  s"},             // was written as 0
        {"0.3.1", "250", "250"},                             //
        {"0.4.1", "Half duplex  mode", "Half duplex  mode"}, // could not be written at all
        {"0.5.1", "02:1A:2B:3C:4D:5E", "02-1a-2b-3c-4d-5e"}, // was written as 02 00 00 00 00 00
        {"0.6.1", "192.168.7.9", "192.168.7.9"},
        {"0.8.1", std::string(60, 'b') + " with_underscore",
         std::string(60, 'b') + " with_underscore"},
    };
    for (const Case& c : cases) {
        harness.edit(c.address, c.typed);
    }
    harness.edit("0.7.1", "1.00000017881393432617187499  dB");
    harness.dialogs.confirmAnswers = {true, false};
    harness.session().writeParameters();
    harness.pump();
    EXPECT_TRUE(harness.dialogs.messages.empty());
    for (const Case& c : cases) {
        EXPECT_EQ(harness.unitValue("eight", c.address), c.stored) << c.typed;
    }
    // The nearest single of the text itself, not of its nearest double.
    EXPECT_EQ(unitBytes("0.7.1"), (std::vector<std::uint8_t>{0x01, 0x00, 0x80, 0x3F}));

    // The unit's other name, "Disabled", holds the letter of its unit.
    harness.edit("0.2.1", "Disabled  s");
    harness.dialogs.confirmAnswers = {true, false};
    harness.session().writeParameters();
    harness.pump();
    EXPECT_EQ(harness.unitValue("eight", "0.2.1"), "Disabled  s");
}

// A text that is no value of its row is refused with a message naming the parameter and the
// text, and nothing at all is sent: not even the good values marked with it.
TEST_F(SessionValues, TextsThatAreNoValueOfTheirRowSendNothing) {
    struct Case {
        std::string address;
        std::string typed;
        std::string parameter;
    } const cases[] = {
        {"0.3.1", "300", "Retry count"},           // was written as 44
        {"0.3.1", "abc", "Retry count"},           // was written as 0
        {"0.6.1", "999.1.1.1", "Peer IP"},         // was written as 231.1.1.1
        {"0.5.1", "02:1A:2B:3C:4D", "Peer MAC"},   // was written as 02 00 00 00 00 00
        {"0.4.1", "Simplex  mode", "Duplex"},      // no enumeration name
        {"0.8.1", std::string(81, 'x'), "Banner"}, // was cut to 80
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::string before = harness.unitValue("eight", c.address);
        harness.edit("0.9.1", "good alias");
        harness.edit(c.address, c.typed);
        harness.dialogs.confirmAnswers = {true, false};
        harness.session().writeParameters();
        harness.pump();
        ASSERT_EQ(harness.dialogs.messages.size(), 1u);
        const std::string& message = harness.dialogs.messages[0].text;
        EXPECT_NE(message.find(c.parameter), std::string::npos) << message;
        EXPECT_NE(message.find("\"" + c.typed + "\""), std::string::npos) << message;
        EXPECT_EQ(harness.dialogs.messages[0].caption, "Error");
        EXPECT_TRUE(harness.dialogs.confirmations.empty());
        EXPECT_TRUE(harness.events.requests.empty());
        EXPECT_EQ(harness.unitValue("eight", c.address), before);
        EXPECT_EQ(harness.unitValue("eight", "0.9.1"), "host_name_01");
        harness.session().setValueText(harness.session().findParameter(c.address), before);
        harness.table.setModifiedMark(harness.session().findParameter(c.address), 0);
        harness.dialogs.messages.clear();
    }
}

// Saving the unit and loading the file back changes nothing: no cell, no mark, no write.
TEST_F(SessionValues, ASavedUnitLoadsBackWithoutAChange) {
    harness.edit("0.8.1", std::string(60, 'b') + " a_b  c__d");
    harness.edit("0.2.1", "No limit  s");
    harness.dialogs.confirmAnswers = {true, false};
    harness.session().writeParameters();
    harness.pump();
    harness.session().readParametersRequested(0);
    harness.pump();
    ASSERT_EQ(harness.cell("0.8.1"), std::string(60, 'b') + " a_b  c__d");

    std::vector<std::string> shown;
    for (int line = 0; line < harness.table.lineCount(); ++line) {
        shown.push_back(harness.table.text(line, ParameterTable::ValueColumn));
    }
    const std::string path = harness.data().file("eight.cnf");
    ASSERT_TRUE(harness.session().saveConfiguration(path));
    ASSERT_TRUE(harness.session().loadConfiguration(path));
    for (int line = 0; line < harness.table.lineCount(); ++line) {
        EXPECT_EQ(harness.table.text(line, ParameterTable::ValueColumn),
                  shown[static_cast<std::size_t>(line)]);
        EXPECT_EQ(harness.table.modifiedMark(harness.table.parameterOfLine(line)), 0) << line;
    }
    EXPECT_TRUE(harness.dialogs.messages.empty());
}

// Credentials the log cannot keep whole are refused before anything is sent, instead of being
// cut in pwd.ini (where the next operation would fail with the cut ones).
TEST_F(SessionValues, CredentialsLongerThanTheLogKeepsAreRefused) {
    const std::string tooLong(CredentialLog::kMaxTokenLength + 1, 'p');
    harness.session().clearCredentials(); // so that every read asks for them
    struct Case {
        Credentials entered;
    } const cases[] = {{{tooLong, "quorvane"}}, {{"admin", tooLong}}};
    for (const Case& c : cases) {
        harness.dialogs.promptAnswers.push_back(c.entered);
        harness.session().readParametersRequested(0);
        harness.pump();
        ASSERT_EQ(harness.dialogs.messages.size(), 1u);
        EXPECT_NE(harness.dialogs.messages[0].text.find("75 characters"), std::string::npos);
        EXPECT_TRUE(harness.events.requests.empty());
        harness.dialogs.messages.clear();
    }

    // A new password for the units that the log could not keep whole.
    const int password = harness.session().findParameter("2.1.2");
    ASSERT_GE(password, 0);
    harness.edit("2.1.2", std::string(CredentialLog::kMaxTokenLength + 1, 'n'));
    harness.dialogs.confirmAnswers = {true};
    harness.session().writeParameters();
    ASSERT_EQ(harness.dialogs.messages.size(), 1u);
    EXPECT_NE(harness.dialogs.messages[0].text.find("characters the credential log keeps"),
              std::string::npos)
        << harness.dialogs.messages[0].text;
    EXPECT_TRUE(harness.events.requests.empty());
}

} // namespace
} // namespace morvik::testing
