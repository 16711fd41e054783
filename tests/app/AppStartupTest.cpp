#include "AppFixture.h"
#include "app/CClassFilterCombo.h"
#include "app/CMainToolBar.h"
#include "discovery/DeviceListColumns.h"

#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <fstream>
#include <sys/resource.h>

namespace morvik {
namespace {

using testing::AppFixture;
using testing::DialogAnswerer;
using testing::waitUntil;

class AppStartup : public AppFixture {};

TEST_F(AppStartup, RecordsTheWholeWorkingDirectoryAndBuildsTheWindow) {
    // A working directory far longer than 200 characters is stored whole.
    testing::ScratchData deep;
    std::string longPath = deep.directory();
    while (longPath.size() < 260) {
        longPath += "/a-rather-long-folder-name";
    }
    std::filesystem::create_directories(longPath);
    std::ofstream(longPath + "/prodid.ini") << "";
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(longPath)));
    CMorvikApp longApp;
    ASSERT_TRUE(longApp.initInstance());
    QDir::setCurrent(before);

    // Stored off the GUI thread, so that the window need not wait for the disk; meanwhile
    // the program already works with it.
    EXPECT_EQ(readDataDirectory().toStdString(), longPath);
    const std::string file = std::string(std::getenv("XDG_CONFIG_HOME")) +
                             "/Local AppWizard-Generated Applications/morvik.conf";
    std::string stored;
    EXPECT_TRUE(waitUntil([&] {
        stored = testing::readTextFile(file);
        return stored.find("path=" + longPath) != std::string::npos;
    })) << stored;
    EXPECT_NE(stored.find("[morvik]"), std::string::npos) << stored;
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    EXPECT_EQ(settings.value("morvik/path").toString().toStdString(), longPath);

    CMainFrame& frame = *longApp.mainFrame();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("  Quorvane Morvik"));
    EXPECT_TRUE(frame.isVisible());
    // The device pane is 330 pixels wide, wider where its columns need more to show whole
    // MACs and names.
    const int leftPane = std::max(330, paneWidthShowingEveryColumn(frame.leftView().treeList()));
    EXPECT_EQ(frame.splitter().sizes().at(0), leftPane);
    // The window starts no wider than the screen (800 pixels offscreen): the right pane has
    // 500 pixels where the screen has room for them, and everything the window has left.
    const int room = frame.splitter().width() - leftPane - frame.splitter().handleWidth();
    EXPECT_GE(frame.splitter().sizes().at(1), std::min(500, room));
    EXPECT_LE(frame.frameGeometry().width(), frame.screen()->availableGeometry().width());
    EXPECT_TRUE(frame.leftView().isInitialised());
    EXPECT_TRUE(frame.morvikView().isInitialised());
    EXPECT_NE(frame.leftView().socket().localPort(), 0);
    EXPECT_NE(frame.morvikView().socket().localPort(), 0);
    EXPECT_NE(frame.leftView().socket().localPort(), frame.morvikView().socket().localPort());
    EXPECT_EQ(frame.messagePane().text(), QStringLiteral("Ready"));
}

TEST_F(AppStartup, WithoutSocketsItSaysSoAndEndsBeforeAnyWindow) {
    CMorvikApp failing;
    // The real check, run while the process may open no further file.
    failing.socketCheck = [] {
        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit none = saved;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_NOFILE, &none);
        const bool available = socketLayerAvailable();
        setrlimit(RLIMIT_NOFILE, &saved);
        return available;
    };
    DialogAnswerer answerer([](QWidget& box) { testing::clickButton(box, "OK"); });
    EXPECT_FALSE(failing.initInstance());
    EXPECT_EQ(failing.mainFrame(), nullptr);
    ASSERT_EQ(answerer.answered(), 1);
    EXPECT_EQ(answerer.captions()[0], "morvik");
    EXPECT_EQ(answerer.texts()[0], "Windows sockets initialization failed.");
    EXPECT_TRUE(socketLayerAvailable());
}

// "text|shortcut|status prompt|tooltip" of a menu's entries; "-" for a separator.
std::vector<std::string> describe(const QList<QAction*>& actions) {
    std::vector<std::string> entries;
    for (QAction* action : actions) {
        if (action->isSeparator()) {
            entries.emplace_back("-");
        } else {
            entries.push_back((action->text() + "|" + action->shortcut().toString() + "|" +
                               action->statusTip() + "|" + action->toolTip())
                                  .toStdString());
        }
    }
    return entries;
}

TEST_F(AppStartup, MenusToolbarPromptsAndKeys) {
    startApp();
    const QList<QAction*> menus = frame()->menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("&Device"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("&View"));
    EXPECT_EQ(menus[3]->text(), QStringLiteral("&Help"));
    EXPECT_EQ(describe(menus[0]->menu()->actions()),
              (std::vector<std::string>{
                  "&Load...|Ctrl+L|Load an existing configuration|Load",
                  "&Save|Ctrl+S|Save the active document|Save",
                  "-",
                  "&Clear||Clear authentication information | Clear",
                  "-",
                  "Recent File||Open this document|Recent File",
                  "-",
                  "E&xit||Quit the application|Exit",
              }));
    EXPECT_EQ(describe(menus[1]->menu()->actions()),
              (std::vector<std::string>{"&Probe||Probe the device on network|Probe",
                                        "&Set||Set parameter values|Set",
                                        "&Reboot||Reboot device(s)|Reboot"}));
    EXPECT_EQ(
        describe(menus[2]->menu()->actions()),
        (std::vector<std::string>{"&Toolbar||Show or hide the toolbar|Toggle ToolBar",
                                  "&Status Bar||Show or hide the status bar|Toggle StatusBar", "-",
                                  "Class &Filter...|Ctrl+F|Choose the class of parameters "
                                  "shown|Class Filter"}));
    EXPECT_EQ(
        describe(menus[3]->menu()->actions()),
        (std::vector<std::string>{
            "&Help|F1|Display the online help documentation.|Help",
            "&About Quorvane Morvik...||Show the program's name, version and copyright|About"}));
    EXPECT_FALSE(frame()->commandAction(CMainFrame::RecentFile)->isEnabled());

    std::vector<std::string> toolbar;
    for (QAction* action : frame()->toolBar().actions()) {
        if (action->isSeparator()) {
            toolbar.emplace_back("-");
        } else if (auto* widget = frame()->toolBar().widgetForAction(action);
                   widget != nullptr && qobject_cast<QToolButton*>(widget) == nullptr) {
            toolbar.emplace_back(widget->metaObject()->className());
        } else {
            toolbar.push_back(action->toolTip().toStdString());
            EXPECT_FALSE(action->icon().pixmap(16, 16).isNull()) << toolbar.back();
        }
    }
    EXPECT_EQ(toolbar,
              (std::vector<std::string>{"Probe", "-", "Set", "Reboot", "-", " Clear", "-", "Save",
                                        "Load", "-", "Help", "-", "morvik::CClassFilterCombo"}));
    CClassFilterCombo& box = frame()->toolBar().classFilter();
    EXPECT_EQ(box.parentWidget(), &frame()->toolBar());
    EXPECT_EQ(box.width(), 160);
    EXPECT_FALSE(box.isEditable());
    ASSERT_EQ(box.count(), 1);
    EXPECT_EQ(box.currentText(), QStringLiteral("All classes"));

    EXPECT_EQ(frame()->commandAction(CMainFrame::Refresh)->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(frame()->commandAction(CMainFrame::NextPane)->shortcut(), QKeySequence(Qt::Key_F6));
    EXPECT_EQ(frame()->commandAction(CMainFrame::PreviousPane)->shortcut(),
              QKeySequence(Qt::SHIFT | Qt::Key_F6));

    // F6 moves between the panes.
    tree().setFocus();
    ASSERT_TRUE(waitUntil([&] { return tree().hasFocus(); }, 1000));
    QTest::keyClick(frame(), Qt::Key_F6);
    EXPECT_TRUE(view().parameterList().hasFocus());
    QTest::keyClick(frame(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(tree().hasFocus());

    // The view toggles follow what is shown.
    QAction* toolbarToggle = frame()->commandAction(CMainFrame::ToggleToolBar);
    QAction* statusToggle = frame()->commandAction(CMainFrame::ToggleStatusBar);
    EXPECT_TRUE(toolbarToggle->isChecked());
    EXPECT_TRUE(statusToggle->isChecked());
    toolbarToggle->trigger();
    statusToggle->trigger();
    EXPECT_FALSE(frame()->toolBar().isVisible());
    EXPECT_FALSE(frame()->statusBar()->isVisible());
    toolbarToggle->trigger();
    statusToggle->trigger();
    EXPECT_TRUE(frame()->toolBar().isVisible());
    EXPECT_TRUE(frame()->statusBar()->isVisible());

    // A hovered command's prompt covers "Ready" until the pointer leaves.
    QWidget* setButton =
        frame()->toolBar().widgetForAction(frame()->commandAction(CMainFrame::Set));
    ASSERT_NE(setButton, nullptr);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), setButton->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(setButton, &enter);
    EXPECT_EQ(frame()->statusBar()->currentMessage(), QStringLiteral("Set parameter values"));
    QStatusTipEvent leave{QString()};
    QApplication::sendEvent(frame(), &leave);
    EXPECT_TRUE(frame()->statusBar()->currentMessage().isEmpty());
    EXPECT_TRUE(frame()->messagePane().isVisible());
}

TEST_F(AppStartup, ProbeIsDisabledForTheTwoSecondsOfItsWindow) {
    startApp();
    QAction* probe = frame()->commandAction(CMainFrame::Probe);
    EXPECT_TRUE(probe->isEnabled());
    EXPECT_EQ(frame()->probeTimerId(), 0u);
    QElapsedTimer clock;
    clock.start();
    probe->trigger();
    EXPECT_FALSE(probe->isEnabled());
    EXPECT_NE(frame()->probeTimerId(), 0u);
    QTest::qWait(1700);
    EXPECT_FALSE(probe->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return probe->isEnabled(); }, 2000));
    EXPECT_GE(clock.elapsed(), 1990);
    EXPECT_LE(clock.elapsed(), 2600);
    EXPECT_EQ(frame()->probeTimerId(), 0u);
    EXPECT_EQ(tree().topLevelItemCount(), static_cast<int>(fleet->simulator().unitCount()));
}

} // namespace
} // namespace morvik
