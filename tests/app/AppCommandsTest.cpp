#include "AppFixture.h"
#include "app/CAboutDialog.h"
#include "app/CClassFilterCombo.h"
#include "app/CMainToolBar.h"
#include "controls/CParamListCtrl.h"
#include "parameters/SessionHarness.h"
#include "view/ConfirmDialog.h"
#include "view/PasswordPrompt.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWheelEvent>

namespace morvik {
namespace {

using testing::AppFixture;
using testing::DialogAnswerer;
using testing::RecordedEvents;
using testing::waitUntil;

class AppCommands : public AppFixture {
protected:
    void SetUp() override {
        startApp();
        session().setEvents(&events);
        probeAll();
        // A dialog no test asked for fails the test instead of waiting forever; tests that
        // expect dialogs replace this with their own answerer.
        unexpected = std::make_unique<DialogAnswerer>([](QWidget& dialog) {
            std::string text;
            if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
                text = box->text().toStdString();
            }
            ADD_FAILURE() << "unexpected dialog " << dialog.windowTitle().toStdString() << ": "
                          << text;
            if (auto* asDialog = qobject_cast<QDialog*>(&dialog)) {
                asDialog->reject();
            }
        });
    }
    void expectDialogs() { unexpected.reset(); }
    int readRequests() const { return events.countRequests(Command::ReadRequest); }

    RecordedEvents events;
    std::unique_ptr<DialogAnswerer> unexpected;
};

TEST_F(AppCommands, OnlyMouseSelectionsReadTheSelectedUnits) {
    EXPECT_EQ(view().table().lineCount(), 0);
    clickRow(rowNamed("vela1-dock"));
    EXPECT_EQ(session().targetCount(), 1);
    EXPECT_EQ(session().targetUnit(0).mac, "02:4D:56:00:00:01");
    EXPECT_EQ(readRequests(), 1);
    ASSERT_TRUE(waitUntil([&] { return valueOf("0.1.1") == "vela1-dock"; }));
    EXPECT_EQ(valueOf("1.1.1"), "192.168.10.21");
    EXPECT_GT(view().parameterList().model()->rowCount(), 0);

    // Keys and the right button move around the list without a read.
    tree().setFocus();
    QTest::keyClick(&tree(), Qt::Key_Down);
    QTest::keyClick(&tree(), Qt::Key_Down, Qt::ShiftModifier);
    clickRow(rowNamed("lyra2-gate"), Qt::RightButton);
    QTest::qWait(150);
    EXPECT_EQ(readRequests(), 1);

    // Two units of one product, Ctrl-clicked: one read each click, the second of both units.
    clickRow(rowNamed("vela4-line-a"));
    clickRow(rowNamed("vela4-line-b"), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(session().targetCount(), 2);
    EXPECT_EQ(readRequests(), 1 + 1 + 2);
}

TEST_F(AppCommands, AClassGroupChosenInTheBoxIsShownAfterTheBoxIsDone) {
    clickRow(rowNamed("vela1-dock"));
    ASSERT_TRUE(waitUntil([&] { return valueOf("0.1.1") == "vela1-dock"; }));
    CClassFilterCombo& box = frame()->toolBar().classFilter();
    ASSERT_GT(box.count(), 2);
    EXPECT_EQ(box.itemText(0), QStringLiteral("All classes"));
    const int allLines = view().table().lineCount();

    // The wheel never changes the group.
    QWheelEvent wheel(QPointF(10, 10), box.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&box, &wheel);
    EXPECT_EQ(box.currentIndex(), 0);

    box.setFocus();
    const int requestsBefore = readRequests();
    QTest::keyClick(&box, Qt::Key_Down);
    EXPECT_EQ(box.currentIndex(), 1);
    // Posted, not called: nothing has happened yet.
    EXPECT_EQ(view().table().lineCount(), allLines);
    EXPECT_EQ(readRequests(), requestsBefore);
    ASSERT_TRUE(waitUntil([&] { return view().table().lineCount() < allLines; }));
    EXPECT_EQ(readRequests(), requestsBefore + 1);
    const std::string firstClass = view().table().text(0, ParameterTable::ClassColumn);
    EXPECT_EQ(firstClass.rfind(box.itemText(1).toStdString(), 0), 0u) << firstClass;
}

TEST_F(AppCommands, AnUnknownUnitIsReadWithTheLoginThePromptGives) {
    expectDialogs();
    bool sawPrompt = false;
    DialogAnswerer answerer([&](QWidget& dialog) {
        auto* prompt = qobject_cast<PasswordPrompt*>(&dialog);
        ASSERT_NE(prompt, nullptr);
        sawPrompt = true;
        EXPECT_EQ(prompt->unitLabel()->text(), QStringLiteral("[ orion16-new ]"));
        EXPECT_EQ(prompt->passwordField()->echoMode(), QLineEdit::Password);
        QTest::keyClicks(prompt->loginIdField(), "admin");
        QTest::keyClicks(prompt->passwordField(), "quorvane");
        testing::clickButton(dialog, "OK");
    });
    clickRow(rowNamed("orion16-new"));
    ASSERT_TRUE(sawPrompt);
    EXPECT_EQ(answerer.captions()[0], "Enter Device Password");
    EXPECT_EQ(session().targetUnit(0).loginId, "admin");
    ASSERT_TRUE(waitUntil([&] { return valueOf("0.1.1") == "orion16-new"; }));
    // Accepted credentials enter the log.
    EXPECT_NE(testing::readTextFile(fleet->data().file("pwd.ini")).find("02:4D:56:00:00:08"),
              std::string::npos);
}

TEST_F(AppCommands, RebootAsksFirstAndSendsNothingOnNo) {
    clickRow(rowNamed("vela1-dock"));
    ASSERT_TRUE(waitUntil([&] { return valueOf("0.1.1") == "vela1-dock"; }));
    expectDialogs();
    std::vector<std::string> lines;
    bool yesIsDefault = false;
    DialogAnswerer answerer([&](QWidget& dialog) {
        auto* confirm = qobject_cast<ConfirmDialog*>(&dialog);
        ASSERT_NE(confirm, nullptr);
        for (int line = 1; line <= 3; ++line) {
            lines.push_back(confirm->line(line)->text().toStdString());
        }
        yesIsDefault = confirm->yesButton()->isDefault();
        testing::clickButton(dialog, "No");
    });
    frame()->commandAction(CMainFrame::Reboot)->trigger();
    ASSERT_EQ(answerer.answered(), 1);
    EXPECT_EQ(answerer.captions()[0], "Reboot Confirm");
    EXPECT_EQ(lines, (std::vector<std::string>{"You are to reboot the device(s) !",
                                               "It makes device(s) sleep somewhile. ",
                                               "Do you want to reboot device(s) now? "}));
    EXPECT_TRUE(yesIsDefault);
    EXPECT_EQ(events.countRequests(Command::RebootRequest), 0);
}

TEST_F(AppCommands, ClearEmptiesTheLogAndEveryValueCell) {
    clickRow(rowNamed("vela1-dock"));
    ASSERT_TRUE(waitUntil([&] { return valueOf("0.1.1") == "vela1-dock"; }));
    expectDialogs();
    const char* answer = "No";
    DialogAnswerer answerer([&](QWidget& dialog) {
        ASSERT_NE(qobject_cast<ConfirmDialog*>(&dialog), nullptr);
        testing::clickButton(dialog, answer);
    });
    // Every stored login would go: No keeps them and the values.
    const auto logSize = std::filesystem::file_size(fleet->data().file("pwd.ini"));
    frame()->commandAction(CMainFrame::Clear)->trigger();
    ASSERT_EQ(answerer.answered(), 1);
    EXPECT_EQ(answerer.captions()[0], "Clear Confirm");
    EXPECT_EQ(std::filesystem::file_size(fleet->data().file("pwd.ini")), logSize);
    EXPECT_EQ(valueOf("0.1.1"), "vela1-dock");

    answer = "Yes";
    frame()->commandAction(CMainFrame::Clear)->trigger();
    ASSERT_EQ(answerer.answered(), 2);
    EXPECT_EQ(std::filesystem::file_size(fleet->data().file("pwd.ini")), 0u);
    for (int line = 0; line < view().table().lineCount(); ++line) {
        EXPECT_EQ(view().table().text(line, ParameterTable::ValueColumn), "") << line;
    }
    EXPECT_EQ(tree().topLevelItemCount(), static_cast<int>(fleet->simulator().unitCount()));
}

TEST_F(AppCommands, HelpOpensTheManualInTheDataDirectory) {
    testing::ScratchData elsewhere;
    const std::string record = elsewhere.file("viewer.txt");
    const std::string viewer = elsewhere.file("viewer.sh");
    {
        std::ofstream script(viewer);
        script << "#!/bin/sh\necho \"$PWD|$1\" > '" << record << ".tmp' && mv '" << record
               << ".tmp' '" << record << "'\n";
    }
    std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);
    ::setenv("MORVIK_HELP_VIEWER", viewer.c_str(), 1);
    std::ofstream(fleet->data().file("morvik.html")) << "<html></html>";
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(elsewhere.directory())));

    frame()->commandAction(CMainFrame::Help)->trigger();
    const std::string dataDirectory = fleet->data().directory();
    EXPECT_EQ(QDir::currentPath().toStdString(), dataDirectory);
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(record); }));
    EXPECT_EQ(testing::readTextFile(record),
              dataDirectory + "|" + dataDirectory + "/morvik.html\n");

    // A viewer that cannot be started, or that gives up as xdg-open does without a browser,
    // is reported once.
    expectDialogs();
    DialogAnswerer answerer([](QWidget& box) { testing::clickButton(box, "OK"); });
    std::ofstream(viewer) << "#!/bin/sh\necho 'no method available' >&2\nexit 3\n";
    for (const std::string& failing : {elsewhere.directory() + "/no-such-viewer", viewer}) {
        const int before = answerer.answered();
        ::setenv("MORVIK_HELP_VIEWER", failing.c_str(), 1);
        frame()->commandAction(CMainFrame::Help)->trigger();
        ASSERT_TRUE(waitUntil([&] { return answerer.answered() == before + 1; })) << failing;
        EXPECT_EQ(answerer.captions().back(), "Help");
        EXPECT_NE(answerer.texts().back().find(dataDirectory + "/morvik.html"), std::string::npos)
            << answerer.texts().back();
    }
    ::unsetenv("MORVIK_HELP_VIEWER");
    QTest::qWait(100);
    EXPECT_EQ(answerer.answered(), 2);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(AppCommands, TheEmptyListSaysWhatToDo) {
    EXPECT_EQ(view().table().lineCount(), 0);
    const QImage empty = view().parameterList().grab().toImage();
    EXPECT_EQ(CParamListCtrl::emptyListMessage(),
              QStringLiteral("No Device is selected.   Select a device. "));
    // Something is drawn below the band, nothing but the header above it.
    bool inked = false;
    for (int y = 31; y < 60 && !inked; ++y) {
        for (int x = 0; x < empty.width(); ++x) {
            if (qGray(empty.pixel(x, y)) < 100) {
                inked = true;
                break;
            }
        }
    }
    EXPECT_TRUE(inked);
}

// Not a check: a picture of the window after a probe of the demo fleet and a read, for a
// person to look at (build/.../tests/app/main-window.png).
TEST_F(AppCommands, ScreenshotAfterProbeAndRead) {
    clickRow(rowNamed("vela4-line-a"));
    ASSERT_TRUE(waitUntil([&] { return valueOf("0.1.1") == "vela4-line-a"; }));
    QTest::qWait(100);
    const QString directory = QStringLiteral(MORVIK_TEST_BINARY_DIR);
    EXPECT_TRUE(frame()->grab().save(directory + "/main-window.png"));

    ConfirmDialog confirm(
        QStringLiteral("Set Confirm"), QStringLiteral("You are to update parameter values !"),
        QStringLiteral("               Do you want to continue ? "), QString(), frame());
    confirm.show();
    EXPECT_TRUE(confirm.grab().save(directory + "/confirm-dialog.png"));
    PasswordPrompt prompt(QStringLiteral("[ orion16-new ]"), frame());
    prompt.show();
    EXPECT_TRUE(prompt.grab().save(directory + "/password-prompt.png"));
    CAboutDialog about(frame());
    about.show();
    EXPECT_TRUE(about.grab().save(directory + "/about-box.png"));
}

// A probe that nobody answers says so in the status bar, and the empty list tells which
// networks were probed and what a host firewall must let in; the next answered probe takes
// both back. The window is also saved as a picture (empty-list-hint.png) for a person to
// look at.
TEST_F(AppCommands, AProbeNobodyAnswersSaysWhereItLookedAndWhatToLetIn) {
    ASSERT_TRUE(waitUntil([&] { return frame()->probeTimerId() == 0; }, 3000));
    const EndpointSettings fleetSettings = leftView().endpointSettings();
    EndpointSettings nowhere = fleetSettings;
    nowhere.devicePort =
        static_cast<std::uint16_t>(fleet->port() == 65535 ? 65534 : fleet->port() + 1);
    leftView().setEndpointSettings(nowhere);
    const QString port = QString::number(nowhere.devicePort);

    frame()->commandAction(CMainFrame::Probe)->trigger();
    EXPECT_FALSE(leftView().emptyListMessage().isVisible());
    ASSERT_TRUE(waitUntil([&] { return frame()->probeTimerId() == 0; }, 3000));
    EXPECT_EQ(tree().topLevelItemCount(), 0);
    EXPECT_EQ(frame()->messagePane().text(),
              QStringLiteral("No unit answered the probe. A host firewall may drop the replies: "
                             "see the device list. Probed: 127.255.255.255 port ") +
                  port + QStringLiteral("."));
    const QLabel& message = leftView().emptyListMessage();
    EXPECT_TRUE(message.isVisible());
    EXPECT_TRUE(message.text().contains(QStringLiteral("Probed: 127.255.255.255 port ") + port))
        << message.text().toStdString();
    EXPECT_TRUE(message.text().contains(QStringLiteral("udp sport ") + port))
        << message.text().toStdString();
    EXPECT_TRUE(frame()->grab().save(QStringLiteral(MORVIK_TEST_BINARY_DIR) +
                                     QStringLiteral("/empty-list-hint.png")));

    leftView().setEndpointSettings(fleetSettings);
    probeAll();
    EXPECT_FALSE(message.isVisible());
    ASSERT_TRUE(waitUntil([&] { return frame()->probeTimerId() == 0; }, 3000));
    EXPECT_EQ(frame()->messagePane().text(),
              QStringLiteral("%1 units answered the probe.").arg(tree().topLevelItemCount()));
}

} // namespace
} // namespace morvik
