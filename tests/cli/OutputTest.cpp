#include "cli/Output.h"

#include "cli/ConsoleDialogs.h"
#include "cli/Terminal.h"

#include <gtest/gtest.h>
#include <sstream>

namespace morvik::cli {
namespace {

TEST(TerminalText, ControlCharactersAreEscapedAndEverythingElseKept) {
    struct Case {
        const char* what;
        std::string text;
        std::string shown;
    };
    const Case cases[] = {
        {"plain", "vela1-dock 1500  bytes", "vela1-dock 1500  bytes"},
        {"clear screen", "x\x1b[2J\x1b[H", "x\\x1b[2J\\x1b[H"},
        {"line breaks and tabs", "a\r\nb\tc", "a\\r\\nb\\tc"},
        {"NUL, BEL, DEL", std::string("a\0b\x07\x7f", 5), "a\\x00b\\x07\\x7f"},
        {"Latin-1 C1 CSI byte",
         "a\x9b"
         "2J",
         "a\\x9b2J"},
        {"Latin-1 letters stay bytes",
         "K\xfc"
         "che",
         "K\xfc"
         "che"},
        {"UTF-8 letters stay",
         "K\xc3\xbc"
         "che \xe2\x82\xac",
         "K\xc3\xbc"
         "che \xe2\x82\xac"},
        {"UTF-8 encoded C1",
         "a\xc2\x9b"
         "b",
         "a\\x9bb"},
        {"a cut UTF-8 sequence at the end", "a\xe2\x82", "a\xe2\\x82"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(escapeControlCharacters(c.text), c.shown);
    }
}

TEST(TerminalText, NeitherTablesNorMessagesPassControlCharacters) {
    const std::string forged = "evil\r\ngood  127.0.0.9\x1b[2J";
    const std::string table = formatTable({"NAME", "IP"}, {{forged, "127.77.0.9"}, {"b", "c"}});
    // Widths are those of the escaped cells.
    EXPECT_EQ(table, "NAME                            IP\n"
                     "evil\\r\\ngood  127.0.0.9\\x1b[2J  127.77.0.9\n"
                     "b                               c\n");

    DeviceRecord unit;
    unit.name = forged;
    unit.mac = "02:4D:56:00:00:09";
    const std::string tables = readTables({UnitRead{unit, ReadOutcome{}}});
    EXPECT_EQ(tables.find('\x1b'), std::string::npos) << tables;
    EXPECT_EQ(tables.find('\r'), std::string::npos) << tables;
    EXPECT_NE(tables.find("evil\\r\\ngood"), std::string::npos) << tables;

    std::ostringstream errors;
    ConsoleDialogs dialogs({}, errors);
    dialogs.note("no answer from " + forged);
    dialogs.showMessage("Checksum Error! " + forged, "Error");
    EXPECT_EQ(errors.str(), "morvik-cli: no answer from evil\\r\\ngood  127.0.0.9\\x1b[2J\n"
                            "Error: Checksum Error! evil good  127.0.0.9\\x1b[2J\n");
}

// A read written unit by unit is the very document that the whole would print, whatever bytes
// the units and the description hold, and with units of different descriptions mixed.
TEST(ReadJson, WrittenUnitByUnitEqualsTheWholeDocument) {
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        everyByte += static_cast<char>(byte);
    }
    const auto oneDescription = std::make_shared<std::vector<ParameterHeading>>(
        std::vector<ParameterHeading>{{0, "0.1.1", "System", "Name", "R/W"},
                                      {1, "0.2.1", "System", "Empty", "R/O"},
                                      {5, "0.6.1", "Sys\xE9me\t\"q\"", everyByte, "R/W"}});
    const auto otherDescription = std::make_shared<std::vector<ParameterHeading>>(
        std::vector<ParameterHeading>{{3, "1.1.1", "Serial", "Baud rate", "R/W"}});
    UnitRead first;
    first.unit.mac = "02:4D:56:00:00:01";
    first.unit.ip = "127.77.0.1";
    first.result = UnitResult::Ok;
    first.outcome.headings = oneDescription;
    first.outcome.values = {"K\xFC"
                            "che\n\"x\"",
                            "", everyByte};
    UnitRead second = first;
    second.unit.mac = "02:4D:56:00:00:02";
    second.result = UnitResult::CredentialsNeeded;
    second.outcome.headings = nullptr;
    second.outcome.values.clear();
    UnitRead third = first;
    third.unit.mac = "02:4D:56:00:00:03";
    third.outcome.headings = otherDescription;
    third.outcome.values = {"9600"};
    for (const std::vector<UnitRead>& reads :
         {std::vector<UnitRead>{}, std::vector<UnitRead>{first},
          std::vector<UnitRead>{first, second, third, first}}) {
        std::ostringstream out;
        writeReadJson(out, reads);
        EXPECT_EQ(out.str(), jsonDocument(readJson(reads)) + "\n") << reads.size();
    }
}

} // namespace
} // namespace morvik::cli
