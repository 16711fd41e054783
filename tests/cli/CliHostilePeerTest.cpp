// morvik-cli against units that misbehave on purpose (CraftedPeers, on 127.77.9.x).

#include "CliHarness.h"
#include "support/CraftedPeers.h"

#include <fstream>

namespace morvik::testing {
namespace {

using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

// morvik-cli against the crafted peers, with the data of `dataDirectory`.
ProcessResult runAgainst(const CraftedPeers& peers, const std::string& dataDirectory,
                         const Strings& arguments, std::chrono::milliseconds* wall = nullptr) {
    Strings all{"--data-dir",  dataDirectory,     "--port",         std::to_string(peers.port()),
                "--broadcast", "127.255.255.255", "--host-address", "127.0.0.1",
                "--id",        "admin",           "--password",     "secret"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const Clock::time_point start = Clock::now();
    ProcessResult result = runProcess(MORVIK_CLI_PATH, all, {}, std::chrono::seconds(30));
    if (wall != nullptr) {
        *wall = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    }
    return result;
}

TEST(CliHostilePeers, AWriteIsOkOnlyForAValidAcknowledgementFromTheUnitItself) {
    struct Case {
        const char* what;
        Behaviour behaviour;
        std::string result;
        int exitCode;
        std::string message; // on standard error
        bool byBroadcast = false;
    };
    const Case cases[] = {
        {"a valid acknowledgement", Behaviour::Ack, "ok", 0, ""},
        {"an acknowledgement failing its checksum", Behaviour::BadAck, "checksum error", 1,
         "Error: 02:4D:56:00:09:01 (crafted, 127.77.9.1): cal : "},
        {"a garbled acknowledgement, then a valid one", Behaviour::BadThenGoodAck, "ok", 0,
         "Error: 02:4D:56:00:09:01 (crafted, 127.77.9.1): cal : "},
        {"an acknowledgement forged by another host", Behaviour::ForgedAck, "no answer", 1,
         "no answer from 02:4D:56:00:09:01"},
        {"by broadcast: a valid acknowledgement", Behaviour::Ack, "ok", 0, "", true},
        {"by broadcast: an acknowledgement naming another unit", Behaviour::AckNamingAnotherUnit,
         "no answer", 1, "no answer from 02:4D:56:00:09:01", true},
    };
    CliHarness data({}, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CraftedUnit unit{"crafted", "127.77.9.1", 1, c.behaviour};
        unit.byBroadcast = c.byBroadcast;
        CraftedPeers peers({unit});
        ASSERT_TRUE(peers.ready()) << peers.error();
        ProcessResult run;
        run = runAgainst(peers, data.directory(),
                         {"set", "crafted", "0.6.1=Quay", "--yes", "--timeout", "600", "--json"});
        const auto document = parseJsonDocument(run.out);
        ASSERT_TRUE(document && document->is_array() && document->size() == 1)
            << run.out << run.err;
        EXPECT_EQ(textOf((*document)[0], "result"), c.result) << run.err;
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        if (!c.message.empty()) {
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        }
    }
}

TEST(CliHostilePeers, FloodsAndRepeatsNeverExtendTheWait) {
    struct Case {
        const char* what;
        std::vector<CraftedUnit> units;
        Strings results;
    };
    const Case cases[] = {
        {"junk flooding the tool's socket",
         {{"flooder", "127.77.9.1", 1, Behaviour::Flood}},
         {"no answer"}},
        {"a chatty unit repeating its answer beside a silent one",
         {{"chatty", "127.77.9.1", 1, Behaviour::RepeatedAck},
          {"silent", "127.77.9.2", 2, Behaviour::Silent}},
         {"ok", "no answer"}},
    };
    CliHarness data({}, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CraftedPeers peers(c.units);
        ASSERT_TRUE(peers.ready()) << peers.error();
        Strings arguments{"set"};
        for (const CraftedUnit& unit : c.units) {
            arguments.push_back(unit.name);
        }
        for (const char* more : {"0.6.1=Quay", "--yes", "--timeout", "1000", "--json"}) {
            arguments.emplace_back(more);
        }
        std::chrono::milliseconds wall{};
        const ProcessResult run = runAgainst(peers, data.directory(), arguments, &wall);
        EXPECT_FALSE(run.timedOut);
        // The peers go on for 8 s; the tool waits 1 s after the last progress (with room for
        // the probe, start-up and a busy machine).
        EXPECT_LT(wall.count(), 4000) << run.err;
        EXPECT_EQ(run.exitCode, 1) << run.err;
        const auto document = parseJsonDocument(run.out);
        ASSERT_TRUE(document && document->is_array()) << run.out << run.err;
        ASSERT_EQ(document->size(), c.results.size());
        for (std::size_t i = 0; i < c.results.size(); ++i) {
            EXPECT_EQ(textOf((*document)[i], "result"), c.results[i]) << run.err;
        }
    }
}

TEST(CliHostilePeers, ADescriptionWithoutParametersIsAnErrorBeforeAnythingIsSent) {
    CliHarness data({}, false);
    std::ofstream(data.file("prodid.ini"), std::ios::app) << "\n[90]\nName : Hollow \nID : 33\n";
    for (const std::string& content : {std::string("junk\n"), std::string()}) {
        SCOPED_TRACE(content.empty() ? "an empty description" : "a junk description");
        std::ofstream(data.file("Hollow_1.0.dcf"), std::ios::trunc) << content;
        CraftedUnit hollow{"hollow", "127.77.9.1", 1, Behaviour::Ack};
        hollow.productId = 33;
        hollow.major = 1;
        hollow.minor = 0;
        CraftedPeers peers({hollow});
        ASSERT_TRUE(peers.ready()) << peers.error();
        std::chrono::milliseconds wall{};
        const ProcessResult run =
            runAgainst(peers, data.directory(), {"read", "hollow", "--timeout", "3000"}, &wall);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("the description of product 33 version 1.0 has no parameters: "
                               "nothing was sent"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(peers.requestsReceived(), 0);
        EXPECT_LT(wall.count(), 2500) << "it waited for an answer";
    }
}

TEST(CliHostilePeers, ProbeChecksumErrorsAreReportedForTheUnitsActedOnOnly) {
    // The simulator answers the probe in fleet order: the garbled unit's reply comes first.
    CliHarness harness({fleetUnit("garbled", "02:4D:56:00:00:23", "127.77.0.23", 7, "1.2",
                                  Json{{"badChecksum", true}}),
                        fleetUnit("plain", "02:4D:56:00:00:26", "127.77.0.26", 7, "1.2")},
                       false);
    ASSERT_TRUE(harness.ready());
    const Strings login{"--id", "admin", "--password", "quorvane", "--timeout", "500"};
    Strings readPlain{"read", "plain"};
    readPlain.insert(readPlain.end(), login.begin(), login.end());
    const ProcessResult plain = harness.cli(readPlain);
    EXPECT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.err.find("Checksum Error!"), std::string::npos) << plain.err;

    Strings readGarbled{"read", "garbled"};
    readGarbled.insert(readGarbled.end(), login.begin(), login.end());
    const ProcessResult garbled = harness.cli(readGarbled);
    EXPECT_NE(garbled.err.find("Error: Checksum Error! 02:4D:56:00:00:23 (garbled, 127.77.0.23)\n"),
              std::string::npos)
        << garbled.err;
}

} // namespace
} // namespace morvik::testing
