// Fleet files: what a unit entry gives, the generated series, and the mistakes refused.

#include "SimTestSupport.h"
#include "parameters/Dialogs.h"
#include "sim/SimulatedUnit.h"
#include "stores/CredentialLog.h"
#include "support/ScriptedDialogs.h"

#include <fstream>
#include <set>
#include <sstream>

namespace morvik::sim::testing {
namespace {

TEST(FleetFile, ReadsEveryFieldOfAUnit) {
    const Fleet fleet = parseFleetOrFail(R"({"units": [{
        "name": "dock", "mac": "02-4d-56-00-00-0a", "ip": "127.77.0.10", "productId": 55,
        "version": "1.0", "addressMode": 2, "loginId": "operator", "password": "pw",
        "values": {"0.1.1": "dock", "1.1.1": "10.0.0.1"}, "rawValues": {"1.4.1": "024D5600000A"},
        "faults": {"badChecksum": true, "noAnswer": true, "lateAnswerMs": 250,
                   "duplicateAnswer": true, "oversizedProbeReply": true, "errorReply": true,
                   "lossPercent": 5, "lossSeed": 42, "lossIncludesProbes": true}}]})");
    ASSERT_EQ(fleet.units.size(), 1U);
    const UnitSpec& unit = fleet.units[0];
    EXPECT_EQ(unit.name, "dock");
    EXPECT_EQ(unit.mac, (MacBytes{0x02, 0x4D, 0x56, 0x00, 0x00, 0x0A}));
    EXPECT_EQ(unit.ip, "127.77.0.10");
    EXPECT_EQ(unit.productId, 55);
    EXPECT_EQ(unit.major, 1);
    EXPECT_EQ(unit.minor, 0);
    EXPECT_EQ(unit.addressMode, 2);
    EXPECT_EQ(unit.loginId, "operator");
    EXPECT_EQ(unit.password, "pw");
    EXPECT_EQ(unit.values, (std::vector<std::pair<std::string, std::string>>{
                               {"0.1.1", "dock"}, {"1.1.1", "10.0.0.1"}}));
    EXPECT_EQ(unit.rawValues[0].second, (Bytes{0x02, 0x4D, 0x56, 0x00, 0x00, 0x0A}));
    EXPECT_EQ(unit.faults, (UnitFaults{true, true, 250, true, true, true, 5, 42, true}));
}

// The file is UTF-8; a unit holds one byte per character, and 255 of them fit its name.
TEST(FleetFile, TextsBecomeTheBytesAUnitHolds) {
    std::string longName;
    for (int i = 0; i < 255; ++i) {
        longName += "\xC3\xBC";
    }
    const Fleet fleet = parseFleetOrFail(R"({"units": [{"mac": "02:00:00:00:00:01",
        "productId": 7, "version": "1.2", "name": "K\u00fcche\u001b",
        "loginId": "Gr\u00fc\u00dfe", "password": "\u00ff",
        "values": {"0.6.1": "Stra\u00dfe\r\n"}}, {"mac": "02:00:00:00:00:02",
        "productId": 7, "version": "1.2", "name": ")" +
                                         longName + R"("}]})");
    ASSERT_EQ(fleet.units.size(), 2U);
    EXPECT_EQ(fleet.units[0].name, "K\xFC"
                                   "che\x1B");
    EXPECT_EQ(fleet.units[0].loginId, "Gr\xFC\xDF"
                                      "e");
    EXPECT_EQ(fleet.units[0].password, "\xFF");
    EXPECT_EQ(fleet.units[0].values[0].second, "Stra\xDF"
                                               "e\r\n");
    EXPECT_EQ(fleet.units[1].name, std::string(255, '\xFC'));
}

TEST(FleetFile, DefaultsAreAShortHeaderUnitWithAnEmptyLoginAtItsPositionsAddress) {
    const Fleet fleet = parseFleetOrFail(R"({"units": [
        {"mac": "02:00:00:00:00:01", "ip": "127.77.0.9", "productId": 7, "version": "1.2"},
        {"mac": "02:00:00:00:00:02", "productId": 7, "version": "1.2"}]})");
    ASSERT_EQ(fleet.units.size(), 2U);
    EXPECT_EQ(fleet.units[1].ip, "127.77.0.2");
    EXPECT_EQ(fleet.units[1].addressMode, 1);
    EXPECT_EQ(fleet.units[1].name, "");
    EXPECT_EQ(fleet.units[1].loginId, "");
    EXPECT_EQ(fleet.units[1].faults, UnitFaults{});
}

TEST(FleetFile, GeneratesNumberedUnitsAcrossAddressBoundaries) {
    const Fleet fleet = parseFleetOrFail(R"({"generate": [{
        "template": {"name": "bench-{n}", "productId": 61, "version": "3.10", "loginId": "admin",
                     "values": {"0.1.1": "bench-{n}", "1.1.1": "{ip}"}},
        "count": 700, "ipBase": "127.80.0.1", "macBase": "02:4D:56:10:00:FE"}]})");
    ASSERT_EQ(fleet.units.size(), 700U);
    EXPECT_EQ(fleet.units[0].name, "bench-1");
    EXPECT_EQ(fleet.units[0].mac, (MacBytes{0x02, 0x4D, 0x56, 0x10, 0x00, 0xFE}));
    EXPECT_EQ(fleet.units[2].mac, (MacBytes{0x02, 0x4D, 0x56, 0x10, 0x01, 0x00}));
    EXPECT_EQ(fleet.units[255].ip, "127.80.1.0");
    EXPECT_EQ(fleet.units[699].ip, "127.80.2.188");
    EXPECT_EQ(fleet.units[699].name, "bench-700");
    EXPECT_EQ(fleet.units[699].values[0].second, "bench-700");
    EXPECT_EQ(fleet.units[699].values[1].second, "127.80.2.188");
    EXPECT_EQ(fleet.units[699].loginId, "admin");

    const Fleet unnamed = parseFleetOrFail(R"({"generate": [{"template": {"name": "u",
        "productId": 7, "version": "1.2"}, "count": 2, "ipBase": "127.9.0.1",
        "macBase": "02:00:00:00:00:01"}]})");
    ASSERT_EQ(unnamed.units.size(), 2U);
    EXPECT_EQ(unnamed.units[1].name, "u-2");
}

TEST(FleetFile, NonLoopbackUnitsOnlyWhenAllowed) {
    const char* json = R"({"units": [{"mac": "02:00:00:00:00:01", "ip": "10.99.0.5",
                          "productId": 7, "version": "1.2"}]})";
    std::string error;
    EXPECT_FALSE(parseFleet(json, error).has_value());
    EXPECT_NE(error.find("loopback"), std::string::npos) << error;
    EXPECT_TRUE(parseFleet(json, error, {.allowNonLoopback = true}).has_value()) << error;
}

TEST(FleetFile, MistakesAreRefusedWithTheirPlace) {
    const std::string good = R"("mac": "02:00:00:00:00:01", "productId": 7, "version": "1.2")";
    auto unit = [&](const std::string& more) { return R"({"units": [{)" + good + more + "}]}"; };
    const std::vector<std::tuple<const char*, std::string, const char*>> cases{
        {"not JSON", "{units: []}", "not JSON"},
        {"not an object", "[]", "fleet"},
        {"unknown top-level key", R"({"unit": []})", "unknown key \"unit\""},
        {"unknown unit key", unit(R"(, "pasword": "x")"), "units[0]: unknown key \"pasword\""},
        {"misspelt fault", unit(R"(, "faults": {"lateAnswer": 5})"), "units[0].faults"},
        {"missing MAC", R"({"units": [{"productId": 7, "version": "1.2"}]})", "missing \"mac\""},
        {"bad MAC", R"({"units": [{"mac": "02:00:00:00:01", "productId": 7, "version": "1.2"}]})",
         "units[0].mac"},
        {"missing product", R"({"units": [{"mac": "02:00:00:00:00:01", "version": "1.2"}]})",
         "missing \"productId\""},
        {"product id too big",
         R"({"units": [{"mac": "02:00:00:00:00:01", "productId": 256, "version": "1.2"}]})",
         "units[0].productId"},
        {"fractional product id",
         R"({"units": [{"mac": "02:00:00:00:00:01", "productId": 7.5, "version": "1.2"}]})",
         "units[0].productId"},
        {"version without minor",
         R"({"units": [{"mac": "02:00:00:00:00:01", "productId": 7, "version": "1"}]})",
         "units[0].version"},
        {"version with letters",
         R"({"units": [{"mac": "02:00:00:00:00:01", "productId": 7, "version": "1.x"}]})",
         "units[0].version"},
        {"broadcast address", unit(R"(, "ip": "127.255.255.255")"), "units[0].ip"},
        {"address with a fifth part", unit(R"(, "ip": "127.0.0.1.5")"), "units[0].ip"},
        {"late answer below zero", unit(R"(, "faults": {"lateAnswerMs": -1})"),
         "units[0].faults.lateAnswerMs"},
        {"loss past everything", unit(R"(, "faults": {"lossPercent": 101})"),
         "units[0].faults.lossPercent"},
        {"fault not a flag", unit(R"(, "faults": {"noAnswer": 1})"), "units[0].faults.noAnswer"},
        {"name too long", unit(R"(, "name": ")" + std::string(256, 'n') + "\""), "units[0].name"},
        {"raw value with an odd digit", unit(R"(, "rawValues": {"1.1.1": "0a0"})"),
         "units[0].rawValues.1.1.1"},
        {"value not a text", unit(R"(, "values": {"1.1.1": 5})"), "units[0].values.1.1.1"},
        {"name beyond Latin-1", unit(R"(, "name": "\u20ac")"), "units[0].name: holds a character"},
        {"raw Latin-1 byte instead of UTF-8", unit(", \"name\": \"K\xFC\""), "not JSON"},
        {"key given twice", unit(R"(, "faults": {"noAnswer": true}, "faults": {})"),
         "\"faults\" is given twice"},
        {"number beyond a double", unit(R"(, "addressMode": 1e999)"), "not JSON"},
        {"same MAC twice",
         R"({"units": [{)" + good + R"(}, {)" + good + R"(, "ip": "127.0.0.9"}]})",
         "02:00:00:00:00:01 is given twice"},
        {"same address twice",
         R"({"units": [{)" + good + R"(, "ip": "127.0.0.9"}, {"mac": "02:00:00:00:00:02",
            "productId": 7, "version": "1.2", "ip": "127.0.0.9"}]})",
         "127.0.0.9 is given twice"},
        {"generated count zero",
         R"({"generate": [{"template": {"productId": 7, "version": "1.2"}, "count": 0,
            "ipBase": "127.80.0.1", "macBase": "02:00:00:00:00:01"}]})",
         "generate[0].count"},
        {"generated units past the network",
         R"({"generate": [{"template": {"productId": 7, "version": "1.2"}, "count": 10,
            "ipBase": "127.255.255.250", "macBase": "02:00:00:00:00:01"}]})",
         "generate[0].count"},
        {"template with a MAC",
         R"({"generate": [{"template": {"productId": 7, "version": "1.2", "mac": "02:00:00:00:00:01"},
            "count": 1, "ipBase": "127.80.0.1", "macBase": "02:00:00:00:00:01"}]})",
         "generate[0].template: unknown key \"mac\""},
    };
    for (const auto& [name, json, expected] : cases) {
        SCOPED_TRACE(name);
        std::string error;
        EXPECT_FALSE(parseFleet(json, error).has_value());
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    }
}

// --- The demo fleet ----------------------------------------------------------------------

TEST(DemoFleet, MatchesTheCredentialLogAndTheDescriptions) {
    const Fleet fleet = demoFleet();
    ASSERT_GE(fleet.units.size(), 8U);

    std::ifstream file(kDemoDir + "/pwd.ini");
    std::ostringstream content;
    content << file.rdbuf();
    CredentialLog log(kDemoDir);
    log.loadText(content.str());
    morvik::testing::ScriptedDialogs dialogs;

    ProductCatalog catalog(kDemoDir, {});
    std::set<int> addressModes;
    for (std::size_t i = 0; i < 8; ++i) {
        const UnitSpec& spec = fleet.units[i];
        SCOPED_TRACE(spec.name);
        EXPECT_EQ(spec.mac,
                  (MacBytes{0x02, 0x4D, 0x56, 0x00, 0x00, static_cast<std::uint8_t>(i + 1)}));
        EXPECT_EQ(spec.ip, "127.77.0." + std::to_string(i + 1));
        addressModes.insert(spec.addressMode);

        const int entry = log.find(formatMacText(spec.mac));
        if (i + 1 == 8) {
            EXPECT_EQ(entry, -1) << "unit :08 must make a read prompt for its password";
        } else {
            ASSERT_GE(entry, 0);
            ASSERT_TRUE(log.select(entry));
            EXPECT_EQ(log.currentEntry().loginId, spec.loginId);
            EXPECT_EQ(log.currentEntry().password, spec.password);
        }

        SimulatedUnit unit(spec, catalog.modelFor(spec.productId, spec.major, spec.minor));
        std::string error;
        EXPECT_TRUE(unit.applyInitialValues(error)) << error;
        if (unit.model().parameterCount() > 0) {
            EXPECT_EQ(unit.valueText("0.1.1"), spec.name);
            EXPECT_EQ(unit.value("1.4.1"), Bytes(spec.mac.begin(), spec.mac.end()));
        }
    }
    EXPECT_TRUE(addressModes.contains(2));
    EXPECT_EQ(fleet.units[6].productId, 12); // Vela8: known product, no description
}

} // namespace
} // namespace morvik::sim::testing
