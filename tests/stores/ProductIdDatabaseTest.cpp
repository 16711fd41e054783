#include "stores/ProductIdDatabase.h"

#include "ScratchDirectory.h"
#include "StoreMessagesShown.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

using testing::readFile;
using testing::ScratchDirectory;
using testing::ScriptedDialogs;
using testing::selectShowing;
using testing::writeFile;

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs recordsOf(const ProductIdDatabase& database) {
    Pairs pairs;
    for (const auto& record : database.records()) {
        pairs.emplace_back(record.name, record.id);
    }
    return pairs;
}

std::string record(int number, const std::string& name, const std::string& id) {
    return "\n[" + std::to_string(number) + "]\nName : " + name + " \nID : " + id + "\n";
}

TEST(ProductIdDatabase, ReadsRecordsInFileOrderUpToTheFirstTextThatIsNoRecord) {
    struct Case {
        const char* what;
        std::string text;
        Pairs records;
    };
    const Case cases[] = {
        {"empty", "", {}},
        {"white space only", " \n\t\r\n ", {}},
        {"as written",
         record(1, "QS100", "05") + record(2, "QS200", "51"),
         {{"QS100", "05"}, {"QS200", "51"}}},
        {"numbers out of order and repeated",
         record(9, "B", "2") + record(3, "A", "1") + record(3, "C", "3"),
         {{"B", "2"}, {"A", "1"}, {"C", "3"}}},
        {"tight layout", "[1]Name:QS ID:07 [2]\tName\t:\tX\tID\t:\tY", {{"QS", "07"}, {"X", "Y"}}},
        {"blank inside the brackets", "[ 4]Name : N ID : I", {{"N", "I"}}},
        {"missing ID part: the partial record is dropped",
         record(1, "A", "1") + "\n[2]\nName : B \n" + record(3, "C", "3"),
         {{"A", "1"}}},
        {"stray words between records",
         record(1, "A", "1") + "junk " + record(2, "B", "2"),
         {{"A", "1"}}},
        {"no bracket number", "[x]\nName : A \nID : 1\n", {}},
        {"wrong word", "[1]\nNames : A \nID : 1\n", {}},
        {"file cut short after ID", record(1, "A", "1") + "\n[2]\nName : B \nID :", {{"A", "1"}}},
        {"only an opening bracket", "[", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProductIdDatabase database("");
        database.loadText(c.text);
        EXPECT_EQ(recordsOf(database), c.records);
        EXPECT_EQ(database.currentIndex(), database.count());
    }
}

TEST(ProductIdDatabase, FindsTheFirstExactMatchOnly) {
    ProductIdDatabase database("");
    database.loadText(record(1, "First", "05") + record(2, "Second", "05") +
                      record(3, "Lower", "ab") + record(4, "Five", "5"));
    struct Case {
        const char* id;
        int index;
    };
    const Case cases[] = {{"05", 0}, {"5", 3}, {"ab", 2},  {"AB", -1},
                          {"0", -1}, {"", -1}, {"05 ", -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(database.find(c.id), c.index);
    }
    ProductIdDatabase empty("");
    empty.loadText("");
    EXPECT_EQ(empty.find("05"), -1);
}

TEST(ProductIdDatabase, SelectAcceptsZeroAndIndicesUpToTheCount) {
    struct Case {
        int records;
        int index;
        bool accepted;
    };
    const Case cases[] = {{2, 0, true}, {2, 1, true},  {2, 2, true},  {2, 3, false},
                          {0, 0, true}, {0, 1, false}, {2, -1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.records) + "/" + std::to_string(c.index));
        std::string text;
        for (int i = 0; i < c.records; ++i) {
            text += record(i + 1, "N" + std::to_string(i), std::to_string(i));
        }
        ProductIdDatabase database("");
        database.loadText(text);
        ScriptedDialogs dialogs;
        EXPECT_EQ(selectShowing(database, c.index, dialogs), c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(dialogs.messages.empty());
            EXPECT_EQ(database.currentIndex(), c.index);
        } else {
            EXPECT_EQ(dialogs.messages, (std::vector<ScriptedDialogs::Message>{
                                            {"Out of range of the database !", "Fatal Error"}}));
            EXPECT_EQ(database.currentIndex(), c.records); // unchanged
        }
    }
}

TEST(ProductIdDatabase, CurrentNameFollowsTheSelection) {
    ProductIdDatabase database("");
    database.loadText(record(1, "QS100", "05") + record(2, "QS200", "51"));
    ScriptedDialogs dialogs;
    EXPECT_EQ(database.currentName(), ""); // after loading: past the last record
    ASSERT_TRUE(selectShowing(database, database.find("51"), dialogs));
    EXPECT_EQ(database.currentName(), "QS200");
    ASSERT_TRUE(selectShowing(database, 0, dialogs));
    EXPECT_EQ(database.currentName(), "QS100");
}

TEST(ProductIdDatabase, AMissingFileIsCreatedEmpty) {
    ScratchDirectory dir;
    ProductIdDatabase database(dir.path().string());
    EXPECT_EQ(database.path(), dir.file("prodid.ini"));
    ASSERT_TRUE(database.load());
    EXPECT_EQ(database.count(), 0);
    EXPECT_EQ(database.find("05"), -1);
    EXPECT_EQ(readFile(dir.file("prodid.ini")), "");
}

TEST(ProductIdDatabase, LoadReadsTheFileAndFailsWhenItCannotBeOpened) {
    ScratchDirectory dir;
    writeFile(dir.file("prodid.ini"), record(1, "QS100", "05"));
    ProductIdDatabase database(dir.path().string());
    ASSERT_TRUE(database.load());
    EXPECT_EQ(database.find("05"), 0);

    writeFile(dir.file("plain"), "");
    ProductIdDatabase unreachable(dir.file("plain"));
    EXPECT_FALSE(unreachable.load());
    EXPECT_EQ(unreachable.count(), 0);
}

TEST(ProductIdDatabase, OversizedFilesStayWithinTheTable) {
    const std::string longName(300, 'n');
    const std::string longId(80, 'i');
    std::string text = record(1, longName, longId);
    for (int i = 2; i <= 6000; ++i) {
        text += record(i, "N", std::to_string(i));
    }
    ProductIdDatabase database("");
    database.loadText(text);
    ASSERT_EQ(database.count(), ProductIdDatabase::kMaxRecords);
    EXPECT_EQ(database.records()[0].name, longName.substr(0, 75));
    EXPECT_EQ(database.records()[0].id, longId.substr(0, 75));
    EXPECT_EQ(database.find("5000"), 4999);
    EXPECT_EQ(database.find("5001"), -1);
}

} // namespace
} // namespace morvik
