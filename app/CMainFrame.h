#pragma once

#include "protocol/EndpointSettings.h"

#include <QMainWindow>
#include <QMap>
#include <cstdint>
#include <memory>

class QLabel;
class QSplitter;
class QTimer;

class QScreen;

namespace morvik {

class CLeftView;
class CMainToolBar;
class CMorvikView;
class DeviceListSelection;
class ParameterSession;
class UdpTransport;

// The main window: menus, toolbar with the class filter box, status bar, and the two panes
// side by side (device list 330 pixels, parameter pane 500). It routes every command to the
// part that carries it out. The title is set once by the parameter pane and never changes.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // The commands, numbered as the menu, toolbar and keys send them.
    enum Command : int {
        Load = 57601,
        Save = 57603,
        Clear = 32781,
        RecentFile = 57616,
        Exit = 57665,
        Probe = 32771,
        Set = 32772,
        Reboot = 32782,
        ToggleToolBar = 59392,
        ToggleStatusBar = 59393,
        Help = 57670,
        About = 57664,
        Refresh = 32786,
        NextPane = 57680,
        PreviousPane = 57681,
        ClassFilter = 32784,
    };
    static constexpr int kLeftPaneWidth = 330;
    static constexpr int kRightPaneWidth = 500;

    // The window's first size: `wanted`, cut to what the screen has room for.
    static QSize firstWindowSize(QSize wanted, const QScreen* screen);

    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The panes' one-time initialisation, when the empty document is first shown, and the
    // parameter session over the data files of `dataDirectory`. Requests go where `endpoints`
    // say (by default, where the MORVIK_* environment says).
    void initialUpdate(const QString& dataDirectory,
                       const EndpointSettings& endpoints = EndpointSettings::fromEnvironment());

    QAction* commandAction(Command command) const { return actions_.value(command); }
    CLeftView& leftView() const { return *leftView_; }
    CMorvikView& morvikView() const { return *morvikView_; }
    CMainToolBar& toolBar() const { return *toolBar_; }
    QSplitter& splitter() const { return *splitter_; }
    QLabel& messagePane() const { return *messagePane_; }
    // Non-zero while a probe window is open; Probe is disabled then.
    std::uint32_t probeTimerId() const;

public slots:
    void onProbe();
    void onHelp();
    void onAbout();
    // Enables Probe exactly when no probe window is open.
    void updateCommandStates();
    void refreshLockIndicators();

protected:
    // Remembers the column widths and the splitter for the next run.
    void closeEvent(QCloseEvent* event) override;

private:
    // The status bar's account of the running or last probe.
    void showProbeProgress();
    // Columns as last left, else wide enough for their texts; the window grows to show them.
    void restoreLayout();
    QAction* addCommand(Command command, const QString& text, const QString& promptAndTip,
                        const QString& icon = {});
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void nameForAssistiveTechnology();
    void createPanes();
    void activateOtherPane();
    // Puts the keyboard into the class filter box and opens its list.
    void chooseClassFilter();

    QMap<int, QAction*> actions_;
    CMainToolBar* toolBar_ = nullptr;
    QSplitter* splitter_ = nullptr;
    CLeftView* leftView_ = nullptr;
    CMorvikView* morvikView_ = nullptr;
    std::unique_ptr<DeviceListSelection> selection_;
    // The parameter pane's transport and session, destroyed before the panes whose ports
    // they use.
    std::unique_ptr<UdpTransport> transport_;
    std::unique_ptr<ParameterSession> session_;
    QLabel* messagePane_ = nullptr;
    QLabel* capsIndicator_ = nullptr;
    QLabel* numIndicator_ = nullptr;
    QLabel* scrollIndicator_ = nullptr;
    QTimer* lockKeyTimer_ = nullptr;
};

} // namespace morvik
