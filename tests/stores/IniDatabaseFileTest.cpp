#include "stores/IniDatabaseFile.h"
#include "text/TokenReader.h"

#include "ScratchDirectory.h"

#include <climits>
#include <gtest/gtest.h>
#include <vector>

namespace morvik {
namespace {

using testing::FileSizeLimit;
using testing::permissionsOf;
using testing::readFile;
using testing::ScratchDirectory;
using testing::writeFile;

TEST(DataFilePath, JoinsDirectoryAndNameWithASlash) {
    EXPECT_EQ(dataFilePath("/srv/morvik", "prodid.ini"), "/srv/morvik/prodid.ini");
    // No data directory recorded: the name stands at the root, as it always has.
    EXPECT_EQ(dataFilePath("", "pwd.ini"), "/pwd.ini");
}

TEST(TokenReader, CutsLongTokensAndSkipsTheirRest) {
    TokenReader reader("abcdefgh xy\t\n z  ", 4);
    std::vector<std::string> tokens;
    while (auto token = reader.next()) {
        tokens.emplace_back(*token);
    }
    EXPECT_EQ(tokens, (std::vector<std::string>{"abcd", "xy", "z"}));
    EXPECT_TRUE(reader.atEnd());
}

TEST(TokenReader, ReadsIntegersLikeTheLayoutsDo) {
    struct Case {
        const char* text;
        std::optional<int> value;
        const char* rest; // what follows the number
    };
    const Case cases[] = {
        {"  42]", 42, "]"},
        {"-7]", -7, "]"},
        {"+3", 3, ""},
        {"99999999999999999999]", INT_MAX, "]"},
        {"-99999999999999999999", INT_MIN, ""},
        {"x1", std::nullopt, "x1"},
        {"-", std::nullopt, "-"},
        {"", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TokenReader reader(c.text, 75);
        EXPECT_EQ(reader.integer(), c.value);
        if (c.value) {
            EXPECT_EQ(std::string_view(c.text).substr(reader.position()), c.rest);
        }
    }
}

TEST(TokenReader, WordsSkipWhiteSpaceButLiteralsDoNot) {
    TokenReader reader("  Name :x", 75);
    EXPECT_FALSE(reader.literal("Name"));
    EXPECT_TRUE(reader.word("Name"));
    EXPECT_TRUE(reader.word(":"));
    EXPECT_EQ(reader.next(), "x");
}

TEST(IniDatabaseFile, EnsureExistsCreatesAMissingFileEmptyWithItsPermissions) {
    ScratchDirectory dir;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const mode_t permissions : {mode_t{0600}, mode_t{0644}}) {
        const std::string path = dir.file("file-" + std::to_string(permissions));
        IniDatabaseFile file(permissions);
        file.setPath(path);
        ASSERT_TRUE(file.ensureExists());
        EXPECT_EQ(readFile(path), "");
        EXPECT_EQ(permissionsOf(path), permissions & ~mask);
    }
}

TEST(IniDatabaseFile, EnsureExistsLeavesAnExistingFileAlone) {
    ScratchDirectory dir;
    const std::string path = dir.file("prodid.ini");
    writeFile(path, "kept");
    ::chmod(path.c_str(), 0640);
    IniDatabaseFile file(0600);
    file.setPath(path);
    ASSERT_TRUE(file.ensureExists());
    EXPECT_EQ(readFile(path), "kept");
    EXPECT_EQ(permissionsOf(path), 0640u);
}

TEST(IniDatabaseFile, AFileThatCanNeitherBeFoundNorMadeIsReported) {
    ScratchDirectory dir;
    writeFile(dir.file("plain"), "");
    IniDatabaseFile file;
    file.setPath(dir.file("plain") + "/pwd.ini"); // a directory part that is a regular file
    EXPECT_FALSE(file.ensureExists());
    EXPECT_FALSE(file.readAll());
    EXPECT_FALSE(file.replaceContent("text"));
}

TEST(IniDatabaseFile, ReplaceContentSwapsTheWholeFileAndLeavesNothingBehind) {
    ScratchDirectory dir;
    const std::string path = dir.file("pwd.ini");
    writeFile(path, "an old and rather longer content");
    IniDatabaseFile file(0600);
    file.setPath(path);
    ASSERT_TRUE(file.replaceContent("new"));
    EXPECT_EQ(file.readAll(), "new");
    ASSERT_TRUE(file.replaceContent(""));
    EXPECT_EQ(file.readAll(), "");
    EXPECT_EQ(dir.listing(), "pwd.ini;");
}

TEST(IniDatabaseFile, ReplacedFilesKeepOrTightenTheirPermissionsButNeverLoosenThem) {
    struct Case {
        mode_t ours;
        mode_t existing;
        mode_t after;
    };
    const Case cases[] = {
        {0600, 0644, 0600}, // a log of passwords left readable by others becomes private
        {0644, 0600, 0600}, // a file someone made private stays private
        {0644, 0640, 0640},
        {0600, 0400, 0400},
    };
    ScratchDirectory dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.existing);
        const std::string path = dir.file("data.ini");
        writeFile(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), c.existing), 0);
        IniDatabaseFile file(c.ours);
        file.setPath(path);
        ASSERT_TRUE(file.replaceContent("new"));
        EXPECT_EQ(permissionsOf(path), c.after);
        EXPECT_EQ(readFile(path), "new");
    }
}

TEST(IniDatabaseFile, AWriteThatFailsHalfWayKeepsTheOldContent) {
    ScratchDirectory dir;
    const std::string path = dir.file("pwd.ini");
    writeFile(path, "old content");
    IniDatabaseFile file(0600);
    file.setPath(path);
    {
        FileSizeLimit limit(8); // the disk is "full" after eight bytes
        EXPECT_FALSE(file.replaceContent(std::string(4096, 'x')));
    }
    EXPECT_EQ(readFile(path), "old content");
    EXPECT_EQ(dir.listing(), "pwd.ini;");
}

TEST(IniDatabaseFile, ReplacingThroughASymbolicLinkKeepsTheLink) {
    ScratchDirectory dir;
    const std::string target = dir.file("real.ini");
    const std::string link = dir.file("pwd.ini");
    writeFile(target, "old");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    IniDatabaseFile file(0600);
    file.setPath(link);
    ASSERT_TRUE(file.replaceContent("new"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(target), "new");
}

} // namespace
} // namespace morvik
