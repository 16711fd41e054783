// The program as an installed desktop application: where its data lives when it is started
// from a menu, and how Help finds and shows the manual.
#include "AppFixture.h"
#include "app/DataDirectory.h"
#include "app/HelpLauncher.h"
#include "view/PasswordPrompt.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QUrl>
#include <fstream>
#include <optional>

namespace morvik {
namespace {

using testing::AppFixture;
using testing::DialogAnswerer;
using testing::waitUntil;
namespace fs = std::filesystem;

// Sets an environment variable for the life of the object.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            previous_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (previous_) {
            ::setenv(name_, previous_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

// An empty scratch directory.
class EmptyDirectory {
public:
    EmptyDirectory() {
        std::string pattern = (fs::temp_directory_path() / "morvik-desktop-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        path_ = pattern;
    }
    ~EmptyDirectory() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    EmptyDirectory(const EmptyDirectory&) = delete;
    EmptyDirectory& operator=(const EmptyDirectory&) = delete;

    std::string path(const std::string& relative = {}) const {
        return relative.empty() ? path_.string() : (path_ / relative).string();
    }
    // Writes `text` to `relative`, creating its folders.
    void write(const std::string& relative, const std::string& text) const {
        fs::create_directories((path_ / relative).parent_path());
        std::ofstream(path_ / relative) << text;
    }

private:
    fs::path path_;
};

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// Files as "name=content", sorted; empty when the directory does not exist.
std::vector<std::string> listing(const std::string& directory) {
    std::vector<std::string> files;
    if (!fs::is_directory(directory)) {
        return files;
    }
    for (const auto& entry : fs::directory_iterator(directory)) {
        files.push_back(entry.path().filename().string() + "=" +
                        testing::readTextFile(entry.path().string()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct DataDirectoryCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files; // relative path, content
    bool readOnlyInstalledFiles = false;
    const char* expectedDirectory; // "work" or "user"
    std::vector<std::string> expectedUserFiles;
};

TEST(DataDirectoryRule, WorkingDirectoryWithDataStaysElseThePerUserOneIsSeeded) {
    const std::vector<DataDirectoryCase> cases{
        {"a working directory with prodid.ini is the data directory",
         {{"work/prodid.ini", "w"}, {"installed/prodid.ini", "i"}},
         false,
         "work",
         {}},
        {"a working directory with only a description is the data directory",
         {{"work/Vela1_1.2.dcf", "w"}, {"installed/prodid.ini", "i"}},
         false,
         "work",
         {}},
        {"a directory without data (the home folder of a menu start) seeds the per-user one "
         "from the first installed directory that holds data, logins and manual left behind",
         {{"work/notes.txt", "n"},
          {"work/pwd.ini", "w"},
          {"empty-installed/morvik.html", "m"},
          {"installed/prodid.ini", "i"},
          {"installed/A_1.0.dcf", "a"},
          {"installed/pwd.ini", "demo logins"},
          {"installed/morvik.html", "m"},
          {"later-installed/B_1.0.dcf", "b"}},
         true,
         "user",
         {"A_1.0.dcf=a", "prodid.ini=i"}},
        {"the user's own files are kept and only the missing ones are added",
         {{"work/.keep", ""},
          {"user/prodid.ini", "mine"},
          {"user/pwd.ini", "my logins"},
          {"installed/prodid.ini", "i"},
          {"installed/A_1.0.dcf", "a"}},
         false,
         "user",
         {"A_1.0.dcf=a", "prodid.ini=mine", "pwd.ini=my logins"}},
        {"without installed data the per-user directory is made empty, ready for pwd.ini",
         {{"work/.keep", ""}},
         false,
         "user",
         {}},
    };
    for (const DataDirectoryCase& c : cases) {
        SCOPED_TRACE(c.name);
        EmptyDirectory root;
        for (const auto& [relative, content] : c.files) {
            root.write(relative, content);
        }
        fs::create_directories(root.path("empty-installed"));
        if (c.readOnlyInstalledFiles) {
            for (const auto& entry : fs::directory_iterator(root.path("installed"))) {
                fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::group_read |
                                                  fs::perms::others_read);
            }
        }
        const std::string user = root.path("user");
        const QString chosen =
            chooseDataDirectory(q(root.path("work")), q(user),
                                {q(root.path("missing")), q(root.path("empty-installed")),
                                 q(root.path("installed")), q(root.path("later-installed"))});
        const std::string expected =
            std::string(c.expectedDirectory) == "work" ? root.path("work") : user;
        EXPECT_EQ(chosen.toStdString(), expected);
        EXPECT_EQ(listing(user), c.expectedUserFiles);
        for (const std::string& file : c.expectedUserFiles) {
            const std::string path = user + "/" + file.substr(0, file.find('='));
            EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_write, fs::perms::none)
                << path << " cannot be changed by its user";
        }
    }
}

class DesktopStart : public AppFixture {};

TEST_F(DesktopStart, FromTheHomeFolderItReadsUnitsAndKeepsLoginsInThePerUserDirectory) {
    EmptyDirectory home;
    home.write("Documents/letter.txt", "not data");
    EmptyDirectory shared;
    // What the package installs: the descriptions and the manual, no logins.
    for (const auto& entry : fs::directory_iterator(MORVIK_DEMO_DATA_DIR)) {
        const std::string name = entry.path().filename().string();
        if (name == "prodid.ini" || entry.path().extension() == ".dcf") {
            fs::create_directories(shared.path("morvik"));
            fs::copy(entry.path(), shared.path("morvik/" + name));
        }
    }
    ScopedVariable dataHome("XDG_DATA_HOME", home.path(".local/share"));
    ScopedVariable dataDirs("XDG_DATA_DIRS", shared.path());
    startApp(testing::LoopbackFleet::demoFleet(), home.path());

    const std::string perUser = home.path(".local/share/morvik");
    EXPECT_EQ(readDataDirectory().toStdString(), perUser);
    EXPECT_TRUE(fs::exists(perUser + "/Vela1_1.2.dcf"));
    EXPECT_FALSE(fs::exists(home.path("pwd.ini")));

    frame()->commandAction(CMainFrame::Probe)->trigger();
    ASSERT_TRUE(waitUntil([&] {
        return tree().topLevelItemCount() == static_cast<int>(fleet->simulator().unitCount());
    }));
    // No logins were installed: the prompt asks, and the login that worked is kept per user.
    DialogAnswerer answerer([](QWidget& dialog) {
        auto* prompt = qobject_cast<PasswordPrompt*>(&dialog);
        ASSERT_NE(prompt, nullptr);
        QTest::keyClicks(prompt->loginIdField(), "admin");
        QTest::keyClicks(prompt->passwordField(), "quorvane");
        testing::clickButton(dialog, "OK");
    });
    clickRow(rowNamed("vela1-dock"));
    ASSERT_TRUE(waitUntil([&] { return valueOf("0.1.1") == "vela1-dock"; }));
    EXPECT_EQ(answerer.answered(), 1);
    EXPECT_NE(testing::readTextFile(perUser + "/pwd.ini").find("02:4D:56:00:00:01"),
              std::string::npos);
    // Nothing but the per-user directory lands in the home folder.
    EXPECT_EQ(listing(home.path()), (std::vector<std::string>{".local=", "Documents="}));
}

// Receives the URLs that the program hands to the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    std::vector<std::string> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url.toString().toStdString()); }
};

struct HelpCase {
    const char* name;
    bool manualInDataDirectory;
    bool manualInstalled;
    bool desktopCanShow;
    HelpOutcome expected;
    const char* expectedUrl;     // "data", "installed" or ""
    const char* expectedMessage; // part of the message box text, or ""
};

class HelpFallback : public AppFixture {};

TEST_F(HelpFallback, TheManualComesFromTheDataDirectoryElseTheInstalledOneElseAMessage) {
    startApp();
    const std::vector<HelpCase> cases{
        {"the data directory's manual", true, true, true, HelpOutcome::Shown, "data", ""},
        {"the installed manual when the data directory has none", false, true, true,
         HelpOutcome::Shown, "installed", ""},
        {"no manual anywhere", false, false, true, HelpOutcome::NoManual, "",
         "The help manual morvik.html is neither in the data directory"},
        {"nothing on the desktop can show it", true, false, false, HelpOutcome::NoViewer, "",
         "Nothing on this desktop can show the help manual"},
    };
    const std::string dataManual = fleet->data().file("morvik.html");
    for (const HelpCase& c : cases) {
        SCOPED_TRACE(c.name);
        EmptyDirectory shared;
        ScopedVariable dataDirs("XDG_DATA_DIRS", shared.path());
        if (c.manualInstalled) {
            shared.write("morvik/morvik.html", "<html>installed</html>");
        }
        fs::remove(dataManual);
        if (c.manualInDataDirectory) {
            std::ofstream(dataManual) << "<html>data</html>";
        }
        UrlRecorder recorder;
        if (c.desktopCanShow) {
            QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        }
        DialogAnswerer answerer([](QWidget& box) { testing::clickButton(box, "OK"); });
        const HelpOutcome outcome = startHelp(frame());
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

        EXPECT_EQ(outcome, c.expected);
        std::vector<std::string> expectedUrls;
        if (std::string(c.expectedUrl) == "data") {
            expectedUrls.push_back("file://" + dataManual);
        } else if (std::string(c.expectedUrl) == "installed") {
            expectedUrls.push_back("file://" + shared.path("morvik/morvik.html"));
        }
        EXPECT_EQ(recorder.urls, expectedUrls);
        if (std::string(c.expectedMessage).empty()) {
            EXPECT_EQ(answerer.answered(), 0);
        } else {
            ASSERT_EQ(answerer.answered(), 1);
            EXPECT_EQ(answerer.captions()[0], "Help");
            EXPECT_NE(answerer.texts()[0].find(c.expectedMessage), std::string::npos)
                << answerer.texts()[0];
        }
    }
}

} // namespace
} // namespace morvik

#include "DesktopIntegrationTest.moc"
