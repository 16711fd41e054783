#include "CliHarness.h"
#include "protocol/UdpEndpoint.h"
#include "support/ValueRowsProduct.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sys/stat.h>

namespace morvik::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr ByteOrder kVela = ByteOrder::LeastSignificantFirst; // product 07
constexpr ByteOrder kOrion = ByteOrder::MostSignificantFirst; // product 61

const std::string kDock = "02:4D:56:00:00:01";  // vela1-dock, 127.77.0.1
const std::string kLab = "02:4D:56:00:00:02";   // vela1-lab, by broadcast (address mode 2)
const std::string kLineA = "02:4D:56:00:00:03"; // vela4-line-a, login admin / quorvane
const std::string kLineB = "02:4D:56:00:00:04"; // vela4-line-b, login "field tech" / vela-4
const std::string kRack = "02:4D:56:00:00:06";  // orion16-rack
const std::string kNew = "02:4D:56:00:00:08";   // orion16-new, not in pwd.ini

const Strings kProbeKeys{"name", "ip", "mac", "productId", "version", "addressMode", "checksumOk"};
const Strings kReadKeys{"mac", "ip", "result", "parameters"};
const Strings kParameterKeys{"index", "address", "class", "parameter", "access", "value"};
const Strings kResultKeys{"mac", "ip", "result"};

int count(const std::string& text, const std::string& piece) {
    int found = 0;
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++found;
    }
    return found;
}

// Units with faults, beside the demo fleet; pwd.ini learns their login in the tests that need
// it.
std::vector<Json> faultyUnits() {
    return {
        fleetUnit("mute", "02:4D:56:00:00:21", "127.77.0.21", 7, "1.2", Json{{"noAnswer", true}}),
        fleetUnit("grumpy", "02:4D:56:00:00:22", "127.77.0.22", 7, "1.2",
                  Json{{"errorReply", true}}),
        fleetUnit("garbled", "02:4D:56:00:00:23", "127.77.0.23", 7, "1.2",
                  Json{{"badChecksum", true}}),
        fleetUnit("chatty", "02:4D:56:00:00:24", "127.77.0.24", 7, "1.2",
                  Json{{"oversizedProbeReply", true}}),
        fleetUnit("slow", "02:4D:56:00:00:25", "127.77.0.25", 7, "1.2",
                  Json{{"lateAnswerMs", 300}, {"duplicateAnswer", true}}),
    };
}

// The parameters of a unit's read object, by address.
std::map<std::string, Json> parametersByAddress(const Json& unit) {
    std::map<std::string, Json> parameters;
    if (const auto list = unit.find("parameters"); list != unit.end()) {
        for (const Json& parameter : *list) {
            parameters[textOf(parameter, "address")] = parameter;
        }
    }
    return parameters;
}

std::string valueAt(const Json& unit, const std::string& address) {
    const auto parameters = parametersByAddress(unit);
    const auto found = parameters.find(address);
    return found == parameters.end() ? "<missing>" : textOf(found->second, "value");
}

void expectResults(const Json& document, const Strings& macs, const Strings& results) {
    ASSERT_TRUE(document.is_array());
    ASSERT_EQ(document.size(), macs.size());
    for (std::size_t i = 0; i < macs.size(); ++i) {
        const Json& unit = document[i];
        EXPECT_EQ(keysOf(unit), kResultKeys);
        EXPECT_EQ(textOf(unit, "mac"), macs[i]);
        EXPECT_EQ(textOf(unit, "result"), results[i]) << macs[i];
    }
}

Strings allAddresses(const std::vector<RecordedFrame>& frames, Command command) {
    Strings addresses;
    for (const RecordedFrame& frame : frames) {
        if (frame.command == command) {
            addresses.insert(addresses.end(), frame.addresses.begin(), frame.addresses.end());
        }
    }
    return addresses;
}

int framesOf(const std::vector<RecordedFrame>& frames, Command command) {
    return static_cast<int>(
        std::count_if(frames.begin(), frames.end(),
                      [&](const RecordedFrame& f) { return f.command == command; }));
}

TEST(CliEndToEnd, ProbeListsEachAnsweringUnitOnceWithTheDeviceListTexts) {
    CliHarness harness(faultyUnits());
    ASSERT_TRUE(harness.ready());
    ProcessResult run;
    const auto document = harness.cliJson({"probe", "--wait", "500"}, &run);
    ASSERT_TRUE(document && document->is_array());
    EXPECT_EQ(run.exitCode, 0) << run.err;

    std::map<std::string, Json> byName;
    for (const Json& unit : *document) {
        EXPECT_EQ(keysOf(unit), kProbeKeys);
        EXPECT_TRUE(unit.at("checksumOk").is_boolean());
        EXPECT_TRUE(byName.emplace(textOf(unit, "name"), unit).second) << "listed twice";
    }
    // Eight demo units and the faulty ones, except the one whose reply is too long to decode.
    EXPECT_EQ(byName.size(), 8U + 4U);
    EXPECT_EQ(byName.count("chatty"), 0U);

    const Json& dock = byName["vela1-dock"];
    EXPECT_EQ(textOf(dock, "ip"), "127.77.0.1");
    EXPECT_EQ(textOf(dock, "mac"), kDock);
    EXPECT_EQ(textOf(dock, "productId"), "07");
    EXPECT_EQ(textOf(dock, "version"), "1.2");
    EXPECT_EQ(textOf(dock, "addressMode"), "1");
    EXPECT_TRUE(dock.at("checksumOk").get<bool>());
    EXPECT_EQ(textOf(byName["vela1-lab"], "addressMode"), "2");
    EXPECT_EQ(textOf(byName["orion16-rack"], "version"), "3.10");

    // A bad checksum is reported and the unit listed all the same.
    EXPECT_FALSE(byName["garbled"].at("checksumOk").get<bool>());
    EXPECT_EQ(count(run.err, "Error: Checksum Error! 02:4D:56:00:00:23 (garbled, 127.77.0.23)\n"),
              1)
        << run.err;

    const ProcessResult plain = harness.cli({"probe", "--wait", "500"});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(count(plain.out, "\n"), 1 + 12) << plain.out;
    const std::string dockLine = plain.out.substr(plain.out.find("vela1-dock"));
    EXPECT_NE(dockLine.substr(0, dockLine.find('\n')).find("127.77.0.1"), std::string::npos);
    EXPECT_EQ(plain.out.substr(0, 4), "NAME");
}

TEST(CliEndToEnd, ReadGivesEveryParameterWithTheUnitsOwnTextsAndHidesHiddenOnes) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    ProcessResult run;
    // Named by its MAC in lower case with dashes.
    const auto document = harness.cliJson({"read", "02-4d-56-00-00-01", "--verbose"}, &run);
    ASSERT_TRUE(document && document->is_array());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(document->size(), 1U);
    const Json& unit = document->front();
    EXPECT_EQ(keysOf(unit), kReadKeys);
    EXPECT_EQ(textOf(unit, "mac"), kDock);
    EXPECT_EQ(textOf(unit, "ip"), "127.77.0.1");

    const auto& parameters = unit.at("parameters");
    ASSERT_EQ(parameters.size(), 45U); // every row of Vela1 1.2
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        EXPECT_EQ(keysOf(parameters[i]), kParameterKeys);
        EXPECT_EQ(parameters[i].at("index").get<std::int64_t>(), static_cast<std::int64_t>(i));
    }
    auto byAddress = parametersByAddress(unit);
    const Json& location = byAddress["0.6.1"];
    EXPECT_EQ(textOf(location, "class"), "System/Info");
    EXPECT_EQ(textOf(location, "parameter"), "Location");
    EXPECT_EQ(textOf(location, "access"), "R/W");
    EXPECT_EQ(textOf(location, "value"), "Dock 3, gate house");
    EXPECT_EQ(valueAt(unit, "0.4.1"), "864000  sec");
    EXPECT_EQ(valueAt(unit, "3.1.1"), "9600 bps");
    // The unit holds 4660 there, but a hidden parameter's cell is never filled.
    EXPECT_EQ(textOf(byAddress["0.8.1"], "access"), "HIDDEN");
    EXPECT_EQ(valueAt(unit, "0.8.1"), "");

    // One request, one reply, and no waiting once every value was in.
    EXPECT_EQ(framesOf(harness.framesTo(kDock, kVela), Command::ReadRequest), 1);
    EXPECT_NE(run.err.find("requests_sent=1 replies_received=1"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("morvik-cli: timing wall_ms="), std::string::npos) << run.err;
    // The probe took at least the dock's reply; the benchmarks read this field.
    EXPECT_NE(run.err.find(" probe_first_to_last_ms="), std::string::npos) << run.err;

    const ProcessResult plain = harness.cli({"read", "vela1-dock"});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_NE(plain.out.find("Location"), std::string::npos);
    EXPECT_NE(plain.out.find("Dock 3, gate house"), std::string::npos);
}

// A unit keeps its texts as bytes, one character each; the documents carry them as UTF-8 with
// control characters escaped, whatever the bytes are.
TEST(CliEndToEnd, UpperBytesAndControlCharactersOfAUnitGiveValidJson) {
    const std::string kKitchen = "02:4D:56:00:00:31";
    const std::string name = "K\xC3\xBC"
                             "che\x1B"; // "Küche" and ESC, as UTF-8 in the fleet file
    Json unit = fleetUnit(name, kKitchen, "127.77.0.31", 7, "1.2");
    unit["values"] = {{"0.6.1", "Stra\xC3\x9F"
                                "e\r\n\x7F"}};
    CliHarness harness(std::vector<Json>{unit});
    ASSERT_TRUE(harness.ready());
    const Strings login{"--id", "admin", "--password", "quorvane"};
    auto withLogin = [&](Strings arguments) {
        arguments.insert(arguments.end(), login.begin(), login.end());
        return arguments;
    };

    ProcessResult run;
    const auto probe = harness.cliJson({"probe", "--wait", "500"}, &run);
    ASSERT_TRUE(probe && probe->is_array());
    const auto kitchen = std::find_if(probe->begin(), probe->end(), [&](const Json& listed) {
        return textOf(listed, "mac") == kKitchen;
    });
    ASSERT_NE(kitchen, probe->end()) << run.out;
    EXPECT_EQ(textOf(*kitchen, "name"), name);
    EXPECT_NE(run.out.find("\\u001b"), std::string::npos) << "ESC is escaped";

    const auto read = harness.cliJson(withLogin({"read", kKitchen}), &run);
    ASSERT_TRUE(read && read->size() == 1) << run.err;
    EXPECT_EQ(valueAt(read->front(), "0.6.1"), "Stra\xC3\x9F"
                                               "e\r\n\x7F");

    // Values on the command line are the bytes the value column holds.
    const auto set = harness.cliJson(withLogin({"set", kKitchen,
                                                "0.6.1=Gr\xFC\xDF"
                                                "e \xBD\x01",
                                                "--yes"}),
                                     &run);
    ASSERT_TRUE(set);
    expectResults(*set, {kKitchen}, {"ok"});
    const auto back = harness.cliJson(withLogin({"read", kKitchen, "--group", "System"}));
    ASSERT_TRUE(back && back->size() == 1);
    EXPECT_EQ(valueAt(back->front(), "0.6.1"), "Gr\xC3\xBC\xC3\x9F"
                                               "e \xC2\xBD\x01");
}

TEST(CliEndToEnd, AGroupReadOfSeveralUnitsTakesTwoPassesAndCompletesEveryUnit) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    ProcessResult run;
    const auto document =
        harness.cliJson({"read", "orion16-rack", "orion16-new", "--group", "diagnostics", "--id",
                         "admin", "--password", "quorvane"},
                        &run);
    ASSERT_TRUE(document && document->is_array());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(document->size(), 2U);
    EXPECT_EQ(textOf((*document)[0], "mac"), kRack);
    EXPECT_EQ(textOf((*document)[1], "mac"), kNew);
    for (const Json& unit : *document) {
        const auto& parameters = unit.at("parameters");
        ASSERT_EQ(parameters.size(), 96U);
        EXPECT_EQ(parameters.front().at("index").get<std::int64_t>(), 28);
        for (const Json& parameter : parameters) {
            EXPECT_EQ(textOf(parameter, "class"), "Diagnostics/Port counters");
            EXPECT_FALSE(textOf(parameter, "value").empty()) << textOf(parameter, "address");
        }
    }
    EXPECT_EQ(valueAt((*document)[0], "3.1.1"), "100017  bytes");

    // Two read requests to each unit, naming every parameter of the group. The units' logins
    // differ in length, so their first requests hold different numbers of entries; the second
    // pass starts where the shorter one stopped, and the other unit gets that parameter twice.
    for (const auto& mac : {kRack, kNew}) {
        const auto frames = harness.framesTo(mac, kOrion);
        EXPECT_EQ(framesOf(frames, Command::ReadRequest), 2) << mac;
        const Strings addresses = allAddresses(frames, Command::ReadRequest);
        EXPECT_LE(addresses.size(), 97U);
        EXPECT_EQ(std::set<std::string>(addresses.begin(), addresses.end()).size(), 96U);
    }
    // The unit that pwd.ini did not know entered it once it answered.
    EXPECT_NE(readWholeFile(harness.file("pwd.ini")).find("MAC : " + kNew), std::string::npos);

    const ProcessResult unknownGroup = harness.cli({"read", "orion16-rack", "--group", "Serial"});
    EXPECT_EQ(unknownGroup.exitCode, 2);
    EXPECT_NE(unknownGroup.err.find("has no class group \"Serial\"; its groups: All classes"),
              std::string::npos)
        << unknownGroup.err;
}

TEST(CliEndToEnd, SetWritesExactlyTheNamedValuesToEveryUnit) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const Strings values{"0.6.1=Pier 9", "1.7.1=1400  bytes", "3.1.1=19200 bps", "--yes"};
    ProcessResult run;
    Strings arguments{"set", "vela4-line-b", "vela4-line-a"};
    arguments.insert(arguments.end(), values.begin(), values.end());
    const auto pair = harness.cliJson(arguments, &run);
    ASSERT_TRUE(pair);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    expectResults(*pair, {kLineB, kLineA}, {"ok", "ok"});
    arguments = {"set", "vela1-lab"};
    arguments.insert(arguments.end(), values.begin(), values.end());
    const auto lab = harness.cliJson(arguments, &run);
    ASSERT_TRUE(lab);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    expectResults(*lab, {kLab}, {"ok"});

    // Every unit, vela1-lab by broadcast with its MAC, received one write with exactly the
    // named parameters.
    for (const auto& mac : {kLineA, kLineB, kLab}) {
        const auto frames = harness.framesTo(mac, kVela);
        ASSERT_EQ(framesOf(frames, Command::WriteRequest), 1) << mac;
        EXPECT_EQ(allAddresses(frames, Command::WriteRequest),
                  (Strings{"0.6.1", "1.7.1", "3.1.1"}));
    }
    const auto back = harness.cliJson({"read", "vela1-lab", "vela4-line-b"});
    ASSERT_TRUE(back && back->size() == 2);
    for (const Json& unit : *back) {
        EXPECT_EQ(valueAt(unit, "0.6.1"), "Pier 9");
        EXPECT_EQ(valueAt(unit, "1.7.1"), "1400  bytes");
        EXPECT_EQ(valueAt(unit, "3.1.1"), "19200 bps");
    }

    // Units of different products are refused with the tool's message, since an address
    // names one parameter only within one product, and nothing is sent.
    harness.forget();
    const auto products =
        harness.cliJson({"set", "vela1-dock", "vela4-line-a", "0.6.1=x", "--yes"}, &run);
    ASSERT_TRUE(products);
    EXPECT_EQ(run.exitCode, 1);
    expectResults(*products, {kDock, kLineA}, {"error", "error"});
    EXPECT_NE(run.err.find("Error: You've selected other devices.!!\n"), std::string::npos);
    EXPECT_EQ(framesOf(harness.framesTo(kDock, kVela), Command::WriteRequest), 0);
    EXPECT_EQ(framesOf(harness.framesTo(kLineA, kVela), Command::WriteRequest), 0);

    // Without --yes and without a terminal nothing is sent.
    harness.forget();
    const ProcessResult unconfirmed = harness.cli({"set", "vela1-dock", "0.6.1=x"});
    EXPECT_EQ(unconfirmed.exitCode, 2);
    EXPECT_NE(unconfirmed.err.find("give --yes"), std::string::npos);
    // Addresses and values are checked against the description before anything is sent.
    const ProcessResult badAddress = harness.cli({"set", "vela1-dock", "9.9.9=1", "--yes"});
    EXPECT_EQ(badAddress.exitCode, 2);
    EXPECT_NE(badAddress.err.find("no parameter at address 9.9.9"), std::string::npos);
    const ProcessResult badValue = harness.cli({"set", "vela1-dock", "3.1.1=9601", "--yes"});
    EXPECT_EQ(badValue.exitCode, 2);
    EXPECT_NE(badValue.err.find("\"9601\" is not a value of 3.1.1"), std::string::npos);
    EXPECT_EQ(framesOf(harness.framesTo(kDock, kVela), Command::WriteRequest), 0);
}

TEST(CliEndToEnd, AWriteLargerThanOneRequestIsSentInTwo) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    Strings arguments{"set", "orion16-rack"};
    for (int port = 1; port <= 16; ++port) {
        arguments.push_back("4.13." + std::to_string(port) + "=alias " + std::to_string(port));
        arguments.push_back("4.34." + std::to_string(port) + "=banner of port " +
                            std::to_string(port));
    }
    arguments.emplace_back("--yes");
    ProcessResult run;
    const auto document = harness.cliJson(arguments, &run);
    ASSERT_TRUE(document);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    expectResults(*document, {kRack}, {"ok"});

    const auto frames = harness.framesTo(kRack, kOrion);
    EXPECT_EQ(framesOf(frames, Command::WriteRequest), 2);
    const Strings written = allAddresses(frames, Command::WriteRequest);
    EXPECT_EQ(written.size(), 32U);
    EXPECT_EQ(std::set<std::string>(written.begin(), written.end()).size(), 32U);
    for (const RecordedFrame& frame : frames) {
        EXPECT_LE(frame.bytes.size(), kRequestBufferSize);
    }
    const auto back = harness.cliJson({"read", "orion16-rack", "--group", "Port 16"});
    ASSERT_TRUE(back && back->size() == 1);
    EXPECT_EQ(valueAt(back->front(), "4.13.16"), "alias 16");
    EXPECT_EQ(valueAt(back->front(), "4.34.16"), "banner of port 16");
}

TEST(CliEndToEnd, SaveAndLoadPutBackOnlyTheValuesThatDiffer) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const std::string saved = harness.file("dock.cnf");
    ProcessResult run;
    const auto save = harness.cliJson({"save", "vela1-dock", saved}, &run);
    ASSERT_TRUE(save);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    expectResults(*save, {kDock}, {"ok"});
    const std::string file = readWholeFile(saved);
    EXPECT_EQ(file.substr(0, file.find('\n') + 1), "1 \t 07 \t 1.2 \n");
    EXPECT_EQ(count(file, "\n"), 1 + 45 + 1); // the header, the values, "<escaped>"
    EXPECT_NE(file.find("[5]\t Dock_3,_gate_house\n"), std::string::npos);
    EXPECT_NE(file.find("[7]\t <none>\n"), std::string::npos); // the hidden row

    ASSERT_EQ(harness.cli({"set", "vela1-dock", "0.6.1=Elsewhere", "1.7.1=1000  bytes", "--yes"})
                  .exitCode,
              0);
    harness.forget();
    const auto load = harness.cliJson({"load", "vela1-dock", saved, "--yes"}, &run);
    ASSERT_TRUE(load);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    expectResults(*load, {kDock}, {"ok"});
    const auto frames = harness.framesTo(kDock, kVela);
    EXPECT_EQ(framesOf(frames, Command::ReadRequest), 1);
    EXPECT_EQ(allAddresses(frames, Command::WriteRequest), (Strings{"0.6.1", "1.7.1"}));

    const auto back = harness.cliJson({"read", "vela1-dock"});
    ASSERT_TRUE(back && back->size() == 1);
    EXPECT_EQ(valueAt(back->front(), "0.6.1"), "Dock 3, gate house");
    EXPECT_EQ(valueAt(back->front(), "1.7.1"), "1500  bytes");

    // Loading it again changes nothing, so nothing is written.
    harness.forget();
    const ProcessResult again = harness.cli({"load", "vela1-dock", saved, "--yes"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(framesOf(harness.framesTo(kDock, kVela), Command::WriteRequest), 0);

    // A file of another product is refused with the tool's message.
    const ProcessResult other = harness.cli({"load", "vela4-line-a", saved, "--yes"});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_NE(other.err.find("Error: Saved file not match. Wrong product id & version.\n"),
              std::string::npos)
        << other.err;
}

TEST(CliEndToEnd, RebootAwaitsEachAcknowledgement) {
    auto units = faultyUnits();
    CliHarness harness(units);
    ASSERT_TRUE(harness.ready());
    harness.addCredentials("02:4D:56:00:00:22", "admin", "quorvane");

    const ProcessResult plain = harness.cli({"reboot", "vela1-dock", "vela1-lab", "--yes"});
    EXPECT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(count(plain.err, ": Shut down completed!. Now rebooting...\n"), 2) << plain.err;
    // Each report names the unit that gave it.
    EXPECT_EQ(count(plain.err, "Done: 02:4D:56:00:00:01 (vela1-dock, "), 1) << plain.err;
    EXPECT_EQ(count(plain.err, "Done: 02:4D:56:00:00:02 (vela1-lab, "), 1) << plain.err;
    EXPECT_EQ(count(plain.out, "  ok\n"), 2) << plain.out;

    // A refusal: the desktop program would ask for the password now; nothing can answer here.
    ProcessResult run;
    const auto document = harness.cliJson({"reboot", "vela1-dock", "grumpy", "--yes"}, &run);
    ASSERT_TRUE(document);
    EXPECT_EQ(run.exitCode, 3);
    expectResults(*document, {kDock, "02:4D:56:00:00:22"}, {"ok", "error"});
    EXPECT_EQ(run.err.find("Done:"), std::string::npos) << "--json leaves out Done messages";
    EXPECT_NE(run.err.find("Error: Error occured. Try again !!\n"), std::string::npos);

    // Units of different products are rebooted one product after the other.
    const auto mixed =
        harness.cliJson({"reboot", "orion16-rack", "vela1-dock", "lyra2-gate", "--yes"}, &run);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    expectResults(*mixed, {kRack, kDock, "02:4D:56:00:00:05"}, {"ok", "ok", "ok"});
}

TEST(CliEndToEnd, SetWithRebootRebootsTheWrittenUnits) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    ProcessResult run;
    const auto document =
        harness.cliJson({"set", "vela1-dock", "1.5.1=On", "--yes", "--reboot"}, &run);
    ASSERT_TRUE(document && document->is_array() && document->size() == 1);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const Json& unit = document->front();
    EXPECT_EQ(keysOf(unit), (Strings{"mac", "ip", "result", "reboot"}));
    EXPECT_EQ(textOf(unit, "result"), "ok");
    EXPECT_EQ(textOf(unit, "reboot"), "ok");
    const auto frames = harness.framesTo(kDock, kVela);
    EXPECT_EQ(framesOf(frames, Command::WriteRequest), 1);
    EXPECT_EQ(framesOf(frames, Command::RebootRequest), 1);

    // Without --reboot the offer is declined.
    harness.forget();
    ASSERT_EQ(harness.cli({"set", "vela1-dock", "1.5.1=Off", "--yes"}).exitCode, 0);
    EXPECT_EQ(framesOf(harness.framesTo(kDock, kVela), Command::RebootRequest), 0);
}

TEST(CliEndToEnd, RefusedCredentialsNeedTheirReplacement) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    // pwd.ini holds a password that vela1-lab no longer accepts.
    std::string log = readWholeFile(harness.file("pwd.ini"));
    const auto lab = log.find("MAC : " + kLab);
    const auto password = log.find("Password : quorvane", lab);
    log.replace(password, 19, "Password : stale");
    std::ofstream(harness.file("pwd.ini")) << log;

    const ProcessResult none = harness.cli({"read", "vela1-lab", "--group", "Security"});
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_NE(none.err.find("Error: Error occured. Try again !!\n"), std::string::npos);
    EXPECT_NE(none.err.find("give --id and --password"), std::string::npos) << none.err;

    const ProcessResult wrong = harness.cli(
        {"read", "vela1-lab", "--group", "Security", "--id", "admin", "--password", "wrong"});
    EXPECT_EQ(wrong.exitCode, 1) << wrong.err;

    ProcessResult right;
    const auto document = harness.cliJson(
        {"read", "vela1-lab", "--group", "Security", "--id", "admin", "--password", "quorvane"},
        &right);
    ASSERT_TRUE(document);
    EXPECT_EQ(right.exitCode, 0) << right.err;
    EXPECT_EQ(valueAt(document->front(), "2.1.2"), "quorvane");
    log = readWholeFile(harness.file("pwd.ini"));
    EXPECT_NE(log.find("MAC : " + kLab + " \nID : admin \nPassword : quorvane \n"),
              std::string::npos)
        << log;
    EXPECT_EQ(harness.cli({"read", "vela1-lab"}).exitCode, 0);

    // The unit that refuses need not be the first: the prompt goes to the one that refused.
    log = readWholeFile(harness.file("pwd.ini"));
    const auto lineB = log.find("MAC : " + kLineB);
    log.replace(log.find("Password : vela-4", lineB), 17, "Password : stale");
    std::ofstream(harness.file("pwd.ini")) << log;
    ProcessResult second;
    const auto both = harness.cliJson(
        {"read", "vela4-line-a", "vela4-line-b", "--id", "field tech", "--password", "vela-4"},
        &second);
    ASSERT_TRUE(both && both->size() == 2);
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_NE(readWholeFile(harness.file("pwd.ini")).find("Password : vela-4"), std::string::npos);

    // A unit that pwd.ini does not know needs --id/--password before anything is sent.
    harness.forget();
    const ProcessResult unknown = harness.cli({"read", "orion16-new"});
    EXPECT_EQ(unknown.exitCode, 3);
    EXPECT_NE(unknown.err.find("pwd.ini has no login ID and password for " + kNew),
              std::string::npos)
        << unknown.err;
    EXPECT_TRUE(harness.framesTo(kNew, kOrion).empty());
}

TEST(CliEndToEnd, ALoginChangeIsFollowedByTheCredentialLog) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    ProcessResult run;
    // Two units with different logins get the same new one.
    const auto document = harness.cliJson(
        {"set", "vela4-line-a", "vela4-line-b", "2.1.1=field boss", "2.1.2=n3w", "--yes"}, &run);
    ASSERT_TRUE(document);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    expectResults(*document, {kLineA, kLineB}, {"ok", "ok"});

    const std::string log = readWholeFile(harness.file("pwd.ini"));
    for (const auto& mac : {kLineA, kLineB}) {
        EXPECT_NE(log.find("MAC : " + mac + " \nID : field-/space/-boss \nPassword : n3w \n"),
                  std::string::npos)
            << log;
    }
    // The next run works with the new login and no --id.
    const auto back =
        harness.cliJson({"read", "vela4-line-a", "vela4-line-b", "--group", "Security"}, &run);
    ASSERT_TRUE(back);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(valueAt((*back)[1], "2.1.1"), "field boss");
}

TEST(CliEndToEnd, ASilentUnitIsReportedWithoutHoldingUpTheOthers) {
    CliHarness harness(faultyUnits());
    ASSERT_TRUE(harness.ready());
    harness.addCredentials("02:4D:56:00:00:21", "admin", "quorvane");
    ProcessResult run;
    const auto document = harness.cliJson(
        {"set", "mute", "vela1-dock", "0.6.1=Quay", "--yes", "--timeout", "300"}, &run);
    ASSERT_TRUE(document);
    EXPECT_EQ(run.exitCode, 1);
    expectResults(*document, {"02:4D:56:00:00:21", kDock}, {"no answer", "ok"});
    EXPECT_NE(run.err.find("no answer from 02:4D:56:00:00:21 (mute, 127.77.0.21) within 300 ms"),
              std::string::npos)
        << run.err;

    const auto read = harness.cliJson({"read", "vela1-dock", "mute", "--timeout", "300"}, &run);
    ASSERT_TRUE(read && read->size() == 2);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(valueAt((*read)[0], "0.6.1"), "Quay");
    EXPECT_EQ(valueAt((*read)[1], "0.6.1"), ""); // every parameter, none with a value
    EXPECT_NE(run.err.find("no complete answer from 02:4D:56:00:00:21"), std::string::npos);
}

TEST(CliEndToEnd, LateAndDuplicatedAnswersCompleteButGarbledOnesAreNotTaken) {
    CliHarness harness(faultyUnits());
    ASSERT_TRUE(harness.ready());
    harness.addCredentials("02:4D:56:00:00:23", "admin", "quorvane");
    harness.addCredentials("02:4D:56:00:00:25", "admin", "quorvane");
    ProcessResult run;
    const auto document = harness.cliJson({"read", "slow", "garbled", "--timeout", "1000"}, &run);
    ASSERT_TRUE(document && document->size() == 2);
    EXPECT_EQ(valueAt((*document)[0], "1.7.1"), "0  bytes");
    // A checksum mismatch is reported, naming the unit, and its values are not taken.
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(count(run.err, "Error: 02:4D:56:00:00:23 (garbled, 127.77.0.23): cal : "), 1)
        << run.err;
    EXPECT_EQ(count(run.err, "cal : "), 1) << run.err;
    EXPECT_EQ(valueAt((*document)[1], "1.7.1"), "");
    EXPECT_NE(run.err.find("a reply of 02:4D:56:00:00:23 (garbled, 127.77.0.23) failed its "
                           "checksum"),
              std::string::npos)
        << run.err;
}

TEST(CliEndToEnd, UnknownUnitsAndMixedProducts) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const ProcessResult unknown = harness.cli({"read", "vela1-dock", "nobody", "--wait", "300"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("no unit answered as nobody within 300 ms"), std::string::npos)
        << unknown.err;

    // A write refuses units of different products with the tool's message, sending nothing.
    harness.forget();
    const ProcessResult mixed =
        harness.cli({"set", "vela1-dock", "lyra2-gate", "0.6.1=x", "--yes"});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_NE(mixed.err.find("Error: You've selected other devices.!!\n"), std::string::npos)
        << mixed.err;
    EXPECT_TRUE(harness.framesTo(kDock, kVela).empty());

    // "all" reads every kind of unit; the one without a description is reported.
    ProcessResult run;
    const auto document = harness.cliJson(
        {"read", "all", "--wait", "400", "--id", "admin", "--password", "quorvane"}, &run);
    ASSERT_TRUE(document);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Error: Can't find configuration file!"), std::string::npos) << run.err;
    std::map<std::string, std::size_t> parameterCounts;
    for (const Json& unit : *document) {
        parameterCounts[textOf(unit, "mac")] = unit.at("parameters").size();
    }
    EXPECT_EQ(parameterCounts.size(), 8U);
    EXPECT_EQ(parameterCounts[kDock], 45U);
    EXPECT_EQ(parameterCounts["02:4D:56:00:00:05"], 91U);
    EXPECT_EQ(parameterCounts[kRack], 700U);
    EXPECT_EQ(parameterCounts["02:4D:56:00:00:07"], 0U);
}

// The product whose rows hold the texts that are easy to get wrong, alone on the network.
class ValueRowsUnit : public ::testing::Test {
protected:
    static Json unit() {
        Json unit =
            fleetUnit("eight", kEight, "127.77.0.30", kValueRowsProductId, kValueRowsVersion);
        unit["values"] = Json{{"0.1.1", "eight"},
                              {"0.3.1", "3"},
                              {"0.4.1", "Full duplex"},
                              {"0.6.1", "10.0.0.1"},
                              {"0.9.1", "host_name_01"}};
        return unit;
    }
    ValueRowsUnit() : harness({unit()}, false, {{kValueRowsFileName, valueRowsDescription()}}) {
        harness.addCredentials(kEight, "admin", "quorvane");
    }

    std::string readBack(const std::string& address) const {
        const auto back = harness.cliJson({"read", "eight"});
        if (!back || back->size() != 1) {
            ADD_FAILURE() << "eight could not be read back";
            return {};
        }
        return valueAt(back->front(), address);
    }

    static constexpr const char* kEight = "02:4D:56:00:00:30";
    CliHarness harness;
};

// Values are written as the user chose them; a text that is no value of its row ends the run
// with exit 2 and a message naming the parameter and the text, before anything is written.
TEST_F(ValueRowsUnit, SetWritesChosenValuesAndRefusesOthersBeforeSending) {
    ASSERT_TRUE(harness.ready());
    const ProcessResult good =
        harness.cli({"set", "eight", "0.2.1=No limit  s", "0.4.1=Half duplex  mode",
                     "0.5.1=02:1A:2B:3C:4D:5E", "--yes"});
    ASSERT_EQ(good.exitCode, 0) << good.err;
    EXPECT_EQ(readBack("0.2.1"), "No limit  s");
    EXPECT_EQ(readBack("0.4.1"), "Half duplex  mode");
    EXPECT_EQ(readBack("0.5.1"), "02-1a-2b-3c-4d-5e");

    const Strings refused[] = {
        {"0.3.1", "300"},
        {"0.3.1", "abc"},
        {"0.6.1", "999.1.1.1"},
        {"0.5.1", "02:1A:2B:3C:4D"},
    };
    for (const Strings& value : refused) {
        SCOPED_TRACE(value[1]);
        harness.forget();
        const ProcessResult run =
            harness.cli({"set", "eight", "0.9.1=fine", value[0] + "=" + value[1], "--yes"});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("\"" + value[1] + "\" is not a value of " + value[0]),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(framesOf(harness.framesTo(kEight, ByteOrder::LeastSignificantFirst),
                           Command::WriteRequest),
                  0);
    }
    EXPECT_EQ(readBack("0.3.1"), "3");
    EXPECT_EQ(readBack("0.6.1"), "10.0.0.1");
    EXPECT_EQ(readBack("0.9.1"), "host_name_01");
}

// A saved unit loads back without a write, long values and underscores included; a file value
// that is no value of its row ends the load with exit 2 before anything is written.
TEST_F(ValueRowsUnit, LoadWritesNothingBackThatWasSavedAndRefusesBadValues) {
    ASSERT_TRUE(harness.ready());
    const std::string banner = std::string(60, 'b') + " a_b  c__d";
    ASSERT_EQ(harness.cli({"set", "eight", "0.8.1=" + banner, "--yes"}).exitCode, 0);
    const std::string saved = harness.file("eight.cnf");
    ASSERT_EQ(harness.cli({"save", "eight", saved}).exitCode, 0);

    harness.forget();
    const ProcessResult again = harness.cli({"load", "eight", saved, "--yes"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(
        framesOf(harness.framesTo(kEight, ByteOrder::LeastSignificantFirst), Command::WriteRequest),
        0);
    EXPECT_EQ(readBack("0.8.1"), banner);
    EXPECT_EQ(readBack("0.9.1"), "host_name_01");

    std::string text = readWholeFile(saved);
    const std::string retries = "[2]\t 3\n";
    ASSERT_NE(text.find(retries), std::string::npos) << text;
    text.replace(text.find(retries), retries.size(), "[2]\t 300\n");
    std::ofstream(saved, std::ios::trunc) << text;
    harness.forget();
    const ProcessResult bad = harness.cli({"load", "eight", saved, "--yes"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("\"300\" is not a value of 0.3.1"), std::string::npos) << bad.err;
    EXPECT_EQ(
        framesOf(harness.framesTo(kEight, ByteOrder::LeastSignificantFirst), Command::WriteRequest),
        0);
    EXPECT_EQ(readBack("0.3.1"), "3");
}

// Two Orion16 units whose logins differ in length take the same write; their requests fill up
// at different rows, and each unit still stores every value.
TEST(CliEndToEnd, AWriteInSeveralRequestsReachesUnitsWithLoginsOfOtherLengths) {
    CliHarness harness(
        std::vector<Json>{fleetUnit("rack2", "02:4D:56:00:00:35", "127.77.0.35", 61, "3.10")});
    ASSERT_TRUE(harness.ready());
    harness.addCredentials("02:4D:56:00:00:35", "admin", "quorvane");
    Strings arguments{"set", "02:4D:56:00:00:35", kRack, "1.8.1=64"};
    for (int port = 1; port <= 16; ++port) {
        arguments.push_back("4.13." + std::to_string(port) + "=alias " + std::to_string(port));
        arguments.push_back("4.34." + std::to_string(port) + "=banner of port " +
                            std::to_string(port));
    }
    arguments.emplace_back("--yes");
    ProcessResult run;
    const auto document = harness.cliJson(arguments, &run);
    ASSERT_TRUE(document);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    expectResults(*document, {"02:4D:56:00:00:35", kRack}, {"ok", "ok"});

    const auto longer = harness.framesTo("02:4D:56:00:00:35", kOrion);
    const auto shorter = harness.framesTo(kRack, kOrion);
    std::vector<std::size_t> firstRequests;
    for (const auto* frames : {&longer, &shorter}) {
        for (const RecordedFrame& frame : *frames) {
            if (frame.command == Command::WriteRequest) {
                firstRequests.push_back(frame.addresses.size());
                break;
            }
        }
    }
    ASSERT_EQ(firstRequests.size(), 2u);
    EXPECT_NE(firstRequests[0], firstRequests[1]) << "the requests should fill up apart";

    const auto back = harness.cliJson({"read", "02:4D:56:00:00:35", kRack});
    ASSERT_TRUE(back && back->size() == 2);
    for (const Json& unit : *back) {
        SCOPED_TRACE(textOf(unit, "mac"));
        for (int port = 1; port <= 16; ++port) {
            EXPECT_EQ(valueAt(unit, "4.13." + std::to_string(port)),
                      "alias " + std::to_string(port));
            EXPECT_EQ(valueAt(unit, "4.34." + std::to_string(port)),
                      "banner of port " + std::to_string(port));
        }
    }
}

// Two units that carry the same name, beside the demo fleet.
std::vector<Json> twinUnits() {
    return {fleetUnit("twin", "02:4D:56:00:00:31", "127.77.0.31", 7, "1.2"),
            fleetUnit("twin", "02:4D:56:00:00:32", "127.77.0.32", 7, "1.2")};
}

struct EarlyFailure {
    const char* label;
    Strings arguments;
    int exitCode;
    const char* reason; // part of the document's "error"
};

// A run that fails before its operation sends nothing, and with --json still prints one
// document that says why.
TEST(CliEndToEnd, RunsThatFailBeforeTheOperationSendNothingAndSayWhy) {
    CliHarness harness(twinUnits());
    ASSERT_TRUE(harness.ready());
    harness.addCredentials("02:4D:56:00:00:31", "admin", "quorvane");
    harness.addCredentials("02:4D:56:00:00:32", "admin", "quorvane");
    const std::string fifo = harness.file("fifo.cnf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(harness.file("words.cnf")) << "no header here\n";
    const std::vector<EarlyFailure> failures = {
        {"a FIFO as the file", {"diff", "vela1-dock", fifo}, 2, "it is a FIFO"},
        {"a device as the file", {"load", "vela1-dock", "/dev/zero", "--yes"}, 2, "a device"},
        {"no header", {"diff", "vela1-dock", harness.file("words.cnf")}, 2, "no configuration"},
        {"a name two units carry", {"set", "twin", "0.6.1=x", "--yes"}, 1, "names several units"},
        {"the same by reboot", {"reboot", "twin", "--yes"}, 1, "names several units"},
        {"an unknown unit", {"reboot", "nobody", "--yes"}, 1, "no unit answered as nobody"},
        {"an unknown group", {"read", "vela1-dock", "--group", "Nonesuch"}, 2, "no class group"},
        {"a bad value", {"set", "vela1-dock", "3.1.1=9601", "--yes"}, 2, "is not a value"},
        {"a read-only row", {"set", "vela1-dock", "0.2.1=9.9.9", "--yes"}, 2, "is R/O"},
        {"a hidden row", {"set", "vela1-dock", "0.8.1=1", "--yes"}, 2, "is HIDDEN"},
        {"no confirmation", {"reboot", "vela1-dock"}, 2, "give --yes"},
        {"a malformed command line", {"reboot", "vela1-dock", "--wait", "soon"}, 2, "--wait"},
    };
    for (const EarlyFailure& failure : failures) {
        SCOPED_TRACE(failure.label);
        harness.forget();
        ProcessResult run;
        const auto document = harness.cliJson(failure.arguments, &run);
        EXPECT_EQ(run.exitCode, failure.exitCode) << run.err;
        ASSERT_TRUE(document && document->is_object()) << run.out;
        EXPECT_EQ(keysOf(*document), Strings{"error"});
        EXPECT_NE(textOf(*document, "error").find(failure.reason), std::string::npos)
            << textOf(*document, "error");
        for (const auto& mac :
             {kDock, std::string("02:4D:56:00:00:31"), std::string("02:4D:56:00:00:32")}) {
            EXPECT_TRUE(harness.framesTo(mac, kVela).empty()) << mac;
        }
    }
    // Named by MAC, each twin is one unit.
    ProcessResult run;
    const auto one =
        harness.cliJson({"set", "02-4d-56-00-00-32", "0.6.1=right one", "--yes"}, &run);
    ASSERT_TRUE(one);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    expectResults(*one, {"02:4D:56:00:00:32"}, {"ok"});
    EXPECT_TRUE(harness.framesTo("02:4D:56:00:00:31", kVela).empty());
}

// Two units differ in a value; the file holds the first unit's, and the first unit answers the
// read last. Only the second unit differs from the file, so only it is written.
TEST(CliEndToEnd, LoadComparesTheFileWithEachUnitsOwnValues) {
    Json first = fleetUnit("first", "02:4D:56:00:00:33", "127.77.0.33", 7, "1.2",
                           Json{{"lateAnswerMs", 200}});
    first["values"] = Json{{"0.6.1", "Pier 1"}};
    Json second = fleetUnit("second", "02:4D:56:00:00:34", "127.77.0.34", 7, "1.2");
    second["values"] = Json{{"0.6.1", "Pier 2"}};
    CliHarness harness(std::vector<Json>{first, second});
    ASSERT_TRUE(harness.ready());
    harness.addCredentials("02:4D:56:00:00:33", "admin", "quorvane");
    harness.addCredentials("02:4D:56:00:00:34", "admin", "quorvane");
    const std::string saved = harness.file("first.cnf");
    ASSERT_EQ(harness.cli({"save", "first", saved}).exitCode, 0);

    harness.forget();
    ProcessResult run;
    const auto document = harness.cliJson({"load", "first", "second", saved, "--yes"}, &run);
    ASSERT_TRUE(document);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    expectResults(*document, {"02:4D:56:00:00:33", "02:4D:56:00:00:34"}, {"ok", "ok"});
    EXPECT_EQ(framesOf(harness.framesTo("02:4D:56:00:00:33", kVela), Command::WriteRequest), 0);
    const auto written = harness.framesTo("02:4D:56:00:00:34", kVela);
    ASSERT_EQ(framesOf(written, Command::WriteRequest), 1);
    EXPECT_EQ(allAddresses(written, Command::WriteRequest), Strings{"0.6.1"});

    const auto back = harness.cliJson({"read", "second"});
    ASSERT_TRUE(back && back->size() == 1);
    EXPECT_EQ(valueAt(back->front(), "0.6.1"), "Pier 1");
}

// "Nobody answered" must be told apart from "units found" and from "a unit failed": exit 4,
// with where the probe went and what a host firewall must let in.
TEST(CliEndToEnd, WhenNoUnitAnswersAtAllTheRunSaysWhereItLookedAndEndsWithFour) {
    CliHarness harness(faultyUnits());
    ASSERT_TRUE(harness.ready());
    harness.addCredentials("02:4D:56:00:00:21", "admin", "quorvane");
    // A port that is held and never answered on.
    auto silent = UdpEndpoint::bind("127.0.0.1", 0);
    ASSERT_TRUE(silent);
    const std::string silentPort = std::to_string(silent->localPort());
    const std::string fleetPort = std::to_string(harness.port());

    struct Case {
        const char* what;
        Strings arguments;
        bool toSilentPort;
        int exitCode;
        std::string said; // "" for no hint at all
    };
    const std::vector<Case> cases{
        {"probe of nobody", {"probe", "--wait", "200"}, true, 4, "No unit answered the probe."},
        {"probe of nobody, JSON",
         {"probe", "--wait", "200", "--json"},
         true,
         4,
         "No unit answered the probe."},
        {"read of a unit when nobody answered the probe",
         {"read", "vela1-dock", "--wait", "200"},
         true,
         4,
         "No unit answered the probe."},
        {"read that nobody answered",
         {"read", "mute", "--timeout", "300"},
         false,
         4,
         "No unit answered the read."},
        {"reboot that nobody answered",
         {"reboot", "mute", "--yes", "--timeout", "300"},
         false,
         4,
         "No unit answered the reboot."},
        {"read that one of two answered",
         {"read", "mute", "vela1-dock", "--timeout", "300"},
         false,
         1,
         ""},
        {"probe with units", {"probe", "--wait", "300"}, false, 0, ""},
    };
    for (const Case& c : cases) {
        const std::string port = c.toSilentPort ? silentPort : fleetPort;
        Strings arguments{"--data-dir",  harness.directory(), "--port",         port,
                          "--broadcast", "127.255.255.255",   "--host-address", "127.0.0.1"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ProcessResult run = runProcess(MORVIK_CLI_PATH, arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.what << "\n" << run.err;
        if (c.said.empty()) {
            EXPECT_EQ(run.err.find("No unit answered"), std::string::npos) << c.what << run.err;
            continue;
        }
        EXPECT_NE(
            run.err.find("morvik-cli: " + c.said + " Probed: 127.255.255.255 port " + port + ".\n"),
            std::string::npos)
            << c.what << "\n"
            << run.err;
        EXPECT_NE(run.err.find("nft insert rule inet filter input udp sport " + port + " accept"),
                  std::string::npos)
            << c.what << "\n"
            << run.err;
        if (std::find(c.arguments.begin(), c.arguments.end(), "--json") != c.arguments.end()) {
            EXPECT_EQ(run.out, "[]\n") << c.what;
        }
    }
}

TEST(CliEndToEnd, InterfacesTellsWhereProbesGoAndWhatTheSubnetTestUses) {
    CliHarness harness;
    ASSERT_TRUE(harness.ready());
    const std::string port = std::to_string(harness.port());
    const ProcessResult text = harness.cli({"interfaces"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("go to 127.255.255.255 port " + port + ","), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("host address 127.0.0.1 (given): a unit is local on 127.0.0.0/8 (lo)"),
              std::string::npos)
        << text.out;

    ProcessResult run;
    const auto document = harness.cliJson({"interfaces"}, &run);
    ASSERT_TRUE(document);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(textOf(*document, "hostAddress"), "127.0.0.1");
    EXPECT_EQ(textOf(*document, "hostAddressFrom"), "given");
    ASSERT_EQ(document->at("probe").size(), 1U);
    EXPECT_EQ(textOf(document->at("probe")[0], "destination"), "127.255.255.255");
    harness.forget();
    EXPECT_TRUE(harness.framesTo(kDock, kVela).empty()); // it sends nothing
}

} // namespace
} // namespace morvik::testing
