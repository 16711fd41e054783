// The parameter pane inside the whole program, against the demo fleet on loopback: device list
// selections, the class filter box, the editable list, the commands and the real dialogs.

#include "app/AppFixture.h"
#include "app/CClassFilterCombo.h"
#include "app/CMainToolBar.h"
#include "support/GuiTestSupport.h"
#include "view/ConfirmDialog.h"
#include "view/PasswordPrompt.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QStatusBar>
#include <filesystem>

namespace morvik::testing {
namespace {

using Column = ParameterTable::Column;

class PaneApp : public AppFixture {
protected:
    void SetUp() override {
        startApp();
        session().setEvents(&events);
        probeAll();
    }

    CParamListCtrl& list() { return view().parameterList(); }

    // Reads a unit by clicking its row and waits until its name is shown.
    void readUnit(const QString& name, Qt::KeyboardModifiers modifiers = {}) {
        clickRow(rowNamed(name), Qt::LeftButton, modifiers);
        ASSERT_TRUE(waitUntil([&] { return !valueOf("0.1.1").empty() || modifiers != 0; }));
        QTest::qWait(100);
    }

    int lineNamed(const std::string& parameterName) {
        for (int line = 0; line < view().table().lineCount(); ++line) {
            if (view().table().text(line, Column::ParameterColumn) == parameterName) {
                return line;
            }
        }
        ADD_FAILURE() << "no line " << parameterName;
        return 0;
    }
    int lineOf(const std::string& address) {
        return view().table().lineOfParameter(session().findParameter(address));
    }
    QPoint valueCell(int line) {
        // Into view across as well: the pane may be narrower than its columns.
        list().scrollTo(list().model()->index(line, Column::ValueColumn));
        QApplication::processEvents();
        const QRect row = list().rowBounds(line);
        return {row.left() + 150 + 172 + 30, row.center().y()};
    }
    QColor colourOf(int line) {
        return list()
            .model()
            ->index(line, Column::ValueColumn)
            .data(Qt::ForegroundRole)
            .value<QColor>();
    }
    std::string unitValue(const std::string& name, const std::string& address) {
        for (std::size_t unit = 0; unit < fleet->simulator().unitCount(); ++unit) {
            if (fleet->simulator().unit(unit).spec().name == name) {
                return fleet->simulator().unit(unit).valueText(address);
            }
        }
        ADD_FAILURE() << "no unit " << name;
        return {};
    }
    std::string credentialLog() { return readTextFile(fleet->data().file("pwd.ini")); }

    RecordedEvents events;
};

TEST_F(PaneApp, AMouseSelectionReadsTheUnitIntoTheListShowingProgress) {
    QStringList messages;
    auto* bar = qobject_cast<QMainWindow*>(frame())->statusBar();
    QObject::connect(bar, &QStatusBar::messageChanged,
                     [&](const QString& message) { messages.push_back(message); });
    readUnit("vela1-dock");
    const QModelIndex name = list().model()->index(lineOf("0.1.1"), Column::ValueColumn);
    EXPECT_EQ(name.data().toString(), QStringLiteral("vela1-dock"));
    EXPECT_EQ(list().model()->index(lineOf("1.1.1"), Column::ValueColumn).data().toString(),
              QStringLiteral("192.168.10.21"));
    EXPECT_EQ(messages, (QStringList{"Reading unit 1 of 1...", ""}));
    EXPECT_EQ(bar->currentMessage(), QString());
}

TEST_F(PaneApp, TheClassFilterBoxReadsALargeGroupInChunks) {
    readUnit("orion16-rack");
    CClassFilterCombo& box = frame()->toolBar().classFilter();
    int diagnostics = -1;
    for (int entry = 0; entry < box.count(); ++entry) {
        if (box.itemText(entry).startsWith(QStringLiteral("Diagnostics"))) {
            diagnostics = entry;
            break;
        }
    }
    ASSERT_GT(diagnostics, 0);
    const int readsBefore = events.countRequests(Command::ReadRequest);
    box.setCurrentIndex(diagnostics);
    emit box.activated(diagnostics);
    ASSERT_TRUE(waitUntil([&] {
        const int lines = view().table().lineCount();
        return lines > 0 && !view().table().text(lines - 1, Column::ValueColumn).empty();
    }));
    EXPECT_EQ(view().table().text(0, Column::ClassColumn).rfind("Diagnostics", 0), 0u);
    EXPECT_GT(view().table().lineCount(), 50);
    EXPECT_GE(events.countRequests(Command::ReadRequest) - readsBefore, 2) << "in chunks";
    for (int line = 0; line < view().table().lineCount(); ++line) {
        EXPECT_FALSE(view().table().text(line, Column::ValueColumn).empty()) << line;
    }
}

TEST_F(PaneApp, SetWritesExactlyTheEditedAndPickedValuesThenOffersReboot) {
    readUnit("vela1-dock");
    const int location = lineNamed("Location");
    const int locator = lineNamed("Locator LED");
    const int contact = lineNamed("Contact");
    clickAt(list().viewport(), valueCell(location));
    ASSERT_NE(list().openEditor(), nullptr);
    QTest::keyClicks(list().openEditor(), "attic");
    QTest::keyClick(list().openEditor(), Qt::Key_Return);

    const QPoint at = valueCell(locator);
    whenLoopRuns([&] {
        QPointer<QWidget> menu = QApplication::activePopupWidget();
        ASSERT_NE(menu, nullptr);
        releaseAt(list().viewport(), at);
        moveTo(menu, {30, 10});
        moveTo(menu, {30, 3 + 2 * 17 + 8});
        clickAt(menu, {30, 3 + 2 * 17 + 8});
        if (menu != nullptr) {
            menu->close();
        }
    });
    pressAt(list().viewport(), at);
    EXPECT_EQ(colourOf(location), QColor(255, 0, 0));
    EXPECT_EQ(colourOf(locator), QColor(255, 0, 0));
    view().table().setText(contact, Column::ValueColumn, "shown, not marked");
    const std::string contactBefore = unitValue("vela1-dock", "0.7.1");

    DialogAnswerer answerer([](QWidget& dialog) {
        clickButton(dialog, dialog.windowTitle() == "Set Confirm" ? "Yes" : "No");
    });
    frame()->commandAction(CMainFrame::Set)->trigger();
    ASSERT_TRUE(waitUntil([&] { return answerer.answered() == 2; }));
    EXPECT_EQ(answerer.captions(), (std::vector<std::string>{"Set Confirm", "Reboot Confirm"}));
    EXPECT_EQ(unitValue("vela1-dock", "0.6.1"), "attic");
    EXPECT_EQ(unitValue("vela1-dock", "0.10.1"), "Blink");
    EXPECT_EQ(unitValue("vela1-dock", "0.7.1"), contactBefore);
    EXPECT_EQ(colourOf(location), QColor(0, 0, 0));
    EXPECT_EQ(colourOf(locator), QColor(0, 0, 0));
}

TEST_F(PaneApp, RebootAsksAndEveryUnitsAcknowledgementOpensItsOwnMessage) {
    readUnit("vela4-line-a");
    readUnit("vela4-line-b", Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return events.replies.size() >= 2; }));
    QTest::qWait(200);
    // The second acknowledgement comes in while the first message is still open.
    int mostOpen = 0;
    DialogAnswerer answerer([&](QWidget& dialog) {
        if (dialog.windowTitle() == "Reboot Confirm") {
            clickButton(dialog, "Yes");
            return;
        }
        QTest::qWait(100);
        int open = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            open += window->isVisible() && window->windowTitle() == "Done" ? 1 : 0;
        }
        mostOpen = std::max(mostOpen, open);
        clickButton(dialog, "OK");
    });
    frame()->commandAction(CMainFrame::Reboot)->trigger();
    ASSERT_TRUE(waitUntil([&] { return answerer.answered() == 3; }));
    EXPECT_EQ(answerer.captions(), (std::vector<std::string>{"Reboot Confirm", "Done", "Done"}));
    EXPECT_EQ(answerer.texts()[1], "Shut down completed!. Now rebooting...");
    EXPECT_EQ(answerer.texts()[2], "Shut down completed!. Now rebooting...");
    EXPECT_EQ(mostOpen, 2);
}

// A write to two units offers the reboot once, after both acknowledged it; Yes there (and in
// the reboot's own confirmation) reboots each unit once.
TEST_F(PaneApp, AWriteToSeveralUnitsOffersTheRebootOnceWhenItIsComplete) {
    readUnit("vela4-line-a");
    readUnit("vela4-line-b", Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return events.replies.size() >= 2; }));
    QTest::qWait(200);
    const int location = lineNamed("Location");
    clickAt(list().viewport(), valueCell(location));
    ASSERT_NE(list().openEditor(), nullptr);
    QTest::keyClicks(list().openEditor(), "shared cabinet");
    QTest::keyClick(list().openEditor(), Qt::Key_Return);

    int mostOffers = 0;
    DialogAnswerer answerer([&](QWidget& dialog) {
        if (dialog.windowTitle() == "Set Confirm") {
            clickButton(dialog, "Yes");
            return;
        }
        if (dialog.windowTitle() == "Done") {
            clickButton(dialog, "OK");
            return;
        }
        QTest::qWait(100);
        int open = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            open += window->isVisible() && window->windowTitle() == "Reboot Confirm" ? 1 : 0;
        }
        mostOffers = std::max(mostOffers, open);
        clickButton(dialog, "Yes");
    });
    frame()->commandAction(CMainFrame::Set)->trigger();
    ASSERT_TRUE(waitUntil([&] { return answerer.answered() == 5; }));
    QTest::qWait(300); // nothing else is asked
    EXPECT_EQ(answerer.captions(), (std::vector<std::string>{"Set Confirm", "Reboot Confirm",
                                                             "Reboot Confirm", "Done", "Done"}));
    EXPECT_EQ(mostOffers, 1);
    EXPECT_EQ(unitValue("vela4-line-a", "0.6.1"), "shared cabinet");
    EXPECT_EQ(unitValue("vela4-line-b", "0.6.1"), "shared cabinet");
}

TEST_F(PaneApp, WrongCredentialsAreRefusedAndAskedForAgain) {
    int prompts = 0;
    DialogAnswerer answerer([&](QWidget& dialog) {
        if (auto* prompt = qobject_cast<PasswordPrompt*>(&dialog)) {
            ++prompts;
            prompt->loginIdField()->setText("admin");
            prompt->passwordField()->setText(prompts == 1 ? "wrong" : "quorvane");
            prompt->accept();
        } else {
            clickButton(dialog, "OK");
        }
    });
    clickRow(rowNamed("orion16-new"));
    ASSERT_TRUE(waitUntil([&] { return valueOf("0.1.1") == "orion16-new"; }));
    EXPECT_EQ(prompts, 2);
    ASSERT_GE(answerer.texts().size(), 2u);
    EXPECT_EQ(answerer.texts()[1], "Error occured. Try again !!");
    EXPECT_NE(credentialLog().find("02:4D:56:00:00:08"), std::string::npos);
}

TEST_F(PaneApp, ALoginChangedBySetIsFollowedIntoTheCredentialLog) {
    readUnit("vela1-dock");
    const int password = lineNamed("Password");
    clickAt(list().viewport(), valueCell(password));
    ASSERT_NE(list().openEditor(), nullptr);
    QTest::keyClicks(list().openEditor(), "harbour");
    QTest::keyClick(list().openEditor(), Qt::Key_Return);
    DialogAnswerer answerer([](QWidget& dialog) {
        clickButton(dialog, dialog.windowTitle() == "Set Confirm" ? "Yes" : "No");
    });
    frame()->commandAction(CMainFrame::Set)->trigger();
    ASSERT_TRUE(waitUntil([&] { return answerer.answered() == 2; }));
    // The log still has the old password: the next read is refused and the log follows.
    frame()->commandAction(CMainFrame::Refresh)->trigger();
    ASSERT_TRUE(waitUntil([&] { return credentialLog().find("harbour") != std::string::npos; }));
    ASSERT_TRUE(waitUntil([&] { return valueOf("0.1.1") == "vela1-dock"; }));
    EXPECT_EQ(answerer.answered(), 2) << "no message, no prompt";
}

TEST_F(PaneApp, SaveThenLoadRoundTripsAndClearEmptiesTheLogAndTheValues) {
    readUnit("vela1-dock");
    const QString saved = QString::fromStdString(fleet->data().file("dock"));
    const QString written = QString::fromStdString(fleet->data().file("dock.CNF"));
    DialogAnswerer answerer([&](QWidget& dialog) {
        if (dialog.windowTitle() == QStringLiteral("Clear Confirm")) {
            testing::clickButton(dialog, "Yes");
            return;
        }
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_NE(files, nullptr);
        if (files->windowTitle() == QStringLiteral("Save")) {
            EXPECT_EQ(files->selectedFiles().value(0).section('/', -1),
                      QStringLiteral("vela1-dock"));
            files->selectFile(saved);
        } else {
            files->selectFile(written);
        }
        EXPECT_EQ(files->nameFilters().value(0),
                  QStringLiteral("Configuration File(.CNF) (*.cnf *.CNF)"));
        QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
    });
    QTest::keySequence(frame()->windowHandle(), QKeySequence(Qt::CTRL | Qt::Key_S));
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(written.toStdString()); }));

    const int name = lineOf("0.1.1");
    view().table().setText(name, Column::ValueColumn, "renamed");
    QApplication::setActiveWindow(frame());
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame()));
    QTest::keySequence(frame()->windowHandle(), QKeySequence(Qt::CTRL | Qt::Key_L));
    ASSERT_TRUE(waitUntil([&] { return valueOf("0.1.1") == "vela1-dock"; }));
    EXPECT_EQ(answerer.captions(), (std::vector<std::string>{"Save", "Load"}));
    EXPECT_EQ(colourOf(name), QColor(255, 0, 0));
    EXPECT_EQ(colourOf(lineOf("1.1.1")), QColor(0, 0, 0));
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("  Quorvane Morvik"));

    frame()->commandAction(CMainFrame::Clear)->trigger();
    EXPECT_EQ(credentialLog(), "");
    EXPECT_EQ(valueOf("0.1.1"), "");
    EXPECT_EQ(valueOf("1.1.1"), "");
}

} // namespace
} // namespace morvik::testing
