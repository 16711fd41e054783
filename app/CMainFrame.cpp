#include "app/CMainFrame.h"

#include "app/CAboutDialog.h"
#include "app/CClassFilterCombo.h"
#include "app/CMainToolBar.h"
#include "app/DataDirectory.h"
#include "app/DemoLogins.h"
#include "app/HelpLauncher.h"
#include "app/LockKeyState.h"
#include "app/ProbeStatusText.h"
#include "app/RememberedLayout.h"
#include "app/Resources.h"
#include "controls/CDeviceTreeList.h"
#include "discovery/CLeftView.h"
#include "discovery/DeviceListColumns.h"
#include "discovery/DeviceListSelection.h"
#include "parameters/ParameterSession.h"
#include "parameters/UdpTransport.h"
#include "view/CMorvikView.h"
#include "view/ConfirmDialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <ctime>

namespace morvik {
namespace {
constexpr int kLockKeyPollMs = 250;

// What the window frame and the panel around it need on top of the window's own size.
const QSize kDecorationAllowance(16, 48);

// The window that gives the device pane `leftPaneWidth` pixels and the parameter pane its own.
QSize windowSizeAround(int leftPaneWidth) {
    return {leftPaneWidth + CMainFrame::kRightPaneWidth + 40, 560};
}

// Values changed in the list and not yet written to the units (drawn red).
bool holdsUnwrittenValues(const ParameterTable& table) {
    for (int line = 0; line < table.lineCount(); ++line) {
        if (table.modifiedMark(table.parameterOfLine(line)) != 0) {
            return true;
        }
    }
    return false;
}

QString iconPath(const QString& name) {
    return QStringLiteral(":/icons/") + name + QStringLiteral(".png");
}
} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    ensureResources();
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/morvik-48.png")));

    addCommand(Load, QStringLiteral("&Load..."),
               QStringLiteral("Load an existing configuration\nLoad"), QStringLiteral("load"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    addCommand(Save, QStringLiteral("&Save"), QStringLiteral("Save the active document\nSave"),
               QStringLiteral("save"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommand(Clear, QStringLiteral("&Clear"),
               QStringLiteral("Clear authentication information \n Clear"),
               QStringLiteral("clear"));
    addCommand(RecentFile, QStringLiteral("Recent File"), QStringLiteral("Open this document"))
        ->setEnabled(false);
    addCommand(Exit, QStringLiteral("E&xit"), QStringLiteral("Quit the application\nExit"));
    addCommand(Probe, QStringLiteral("&Probe"),
               QStringLiteral("Probe the device on network\nProbe"), QStringLiteral("probe"));
    addCommand(Set, QStringLiteral("&Set"), QStringLiteral("Set parameter values\nSet"),
               QStringLiteral("set"));
    addCommand(Reboot, QStringLiteral("&Reboot"), QStringLiteral("Reboot device(s)\nReboot"),
               QStringLiteral("reboot"));
    addCommand(ToggleToolBar, QStringLiteral("&Toolbar"),
               QStringLiteral("Show or hide the toolbar\nToggle ToolBar"))
        ->setCheckable(true);
    addCommand(ToggleStatusBar, QStringLiteral("&Status Bar"),
               QStringLiteral("Show or hide the status bar\nToggle StatusBar"))
        ->setCheckable(true);
    addCommand(Help, QStringLiteral("&Help"),
               QStringLiteral("Display the online help documentation.\nHelp"),
               QStringLiteral("help"))
        ->setShortcut(QKeySequence(Qt::Key_F1));
    addCommand(About, QStringLiteral("&About Quorvane Morvik..."),
               QStringLiteral("Show the program's name, version and copyright\nAbout"));
    addCommand(Refresh, QStringLiteral("Refresh"), {})->setShortcut(QKeySequence(Qt::Key_F5));
    addCommand(NextPane, QStringLiteral("Next Pane"), {})->setShortcut(QKeySequence(Qt::Key_F6));
    addCommand(PreviousPane, QStringLiteral("Previous Pane"), {})
        ->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    // Keys without a menu entry still belong to the window.
    addAction(actions_[Refresh]);
    addAction(actions_[NextPane]);
    addAction(actions_[PreviousPane]);

    createToolBar();
    createStatusBar();
    createPanes();
    createMenus();

    connect(actions_[Exit], &QAction::triggered, this, &QWidget::close);
    connect(actions_[Probe], &QAction::triggered, this, &CMainFrame::onProbe);
    connect(actions_[Help], &QAction::triggered, this, &CMainFrame::onHelp);
    connect(actions_[About], &QAction::triggered, this, &CMainFrame::onAbout);
    connect(actions_[Set], &QAction::triggered, morvikView_, &CMorvikView::onSet);
    connect(actions_[Reboot], &QAction::triggered, morvikView_, &CMorvikView::onReboot);
    connect(actions_[Refresh], &QAction::triggered, morvikView_, &CMorvikView::onRefresh);
    connect(actions_[Clear], &QAction::triggered, morvikView_, &CMorvikView::onClear);
    connect(actions_[Load], &QAction::triggered, morvikView_, &CMorvikView::onLoad);
    connect(actions_[Save], &QAction::triggered, morvikView_, &CMorvikView::onSave);
    connect(actions_[NextPane], &QAction::triggered, this, &CMainFrame::activateOtherPane);
    connect(actions_[PreviousPane], &QAction::triggered, this, &CMainFrame::activateOtherPane);

    connect(actions_[ToggleToolBar], &QAction::toggled, toolBar_, &QWidget::setVisible);
    connect(toolBar_, &QToolBar::visibilityChanged, actions_[ToggleToolBar], &QAction::setChecked);
    connect(actions_[ToggleStatusBar], &QAction::toggled, statusBar(), &QWidget::setVisible);
    actions_[ToggleToolBar]->setChecked(true);
    actions_[ToggleStatusBar]->setChecked(true);

    // A mouse selection in the device list asks the parameter pane at once; a class group
    // chosen in the box reaches it after the box has finished with the event.
    connect(&leftView_->treeList(), &CDeviceTreeList::readParametersRequested, morvikView_,
            &CMorvikView::readParametersRequested, Qt::DirectConnection);
    connect(&toolBar_->classFilter(), &CClassFilterCombo::classFilterChosen, morvikView_,
            &CMorvikView::showGroup, Qt::QueuedConnection);
    connect(leftView_, &CLeftView::probingChanged, this, &CMainFrame::updateCommandStates);
    // A probe that nobody answered says so where the eye goes after Probe; the rules for the
    // firewall are in the empty device list, where they can be copied.
    connect(leftView_, &CLeftView::noUnitAnswered, this,
            [this](const QString& headline, const QString& networks) {
                const QString text =
                    headline +
                    QStringLiteral(" A host firewall may drop the replies: see the device list. ") +
                    networks;
                messagePane_->setText(text);
                messagePane_->setToolTip(text); // a narrow window cuts the networks off
            });
    // While a probe runs the status bar says so, and at its end how many units answered; when
    // nobody did, the firewall hint that follows says so instead.
    connect(leftView_, &CLeftView::probingChanged, this, [this](bool probing) {
        if (probing || leftView_->treeList().topLevelItemCount() > 0) {
            showProbeProgress();
        }
    });
    connect(leftView_, &CLeftView::unitListed, this, &CMainFrame::showProbeProgress);
    connect(leftView_, &CLeftView::checksumErrorNotShown, this, &CMainFrame::showProbeProgress);

    nameForAssistiveTechnology();
    resize(firstWindowSize(windowSizeAround(kLeftPaneWidth), screen()));
    updateCommandStates();
}

CMainFrame::~CMainFrame() {}

QAction* CMainFrame::addCommand(Command command, const QString& text, const QString& promptAndTip,
                                const QString& icon) {
    auto* action = new QAction(text, this);
    action->setData(int(command));
    const qsizetype lineBreak = promptAndTip.indexOf(QLatin1Char('\n'));
    action->setStatusTip(lineBreak < 0 ? promptAndTip : promptAndTip.left(lineBreak));
    if (lineBreak >= 0) {
        action->setToolTip(promptAndTip.mid(lineBreak + 1));
    }
    if (!icon.isEmpty()) {
        action->setIcon(QIcon(iconPath(icon)));
    }
    action->setShortcutContext(Qt::WindowShortcut);
    actions_.insert(command, action);
    return action;
}

void CMainFrame::createMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(actions_[Load]);
    file->addAction(actions_[Save]);
    file->addSeparator();
    file->addAction(actions_[Clear]);
    file->addSeparator();
    file->addAction(actions_[RecentFile]);
    file->addSeparator();
    file->addAction(actions_[Exit]);

    QMenu* device = menuBar()->addMenu(QStringLiteral("&Device"));
    device->addAction(actions_[Probe]);
    device->addAction(actions_[Set]);
    device->addAction(actions_[Reboot]);
    connect(device, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(actions_[ToggleToolBar]);
    view->addAction(actions_[ToggleStatusBar]);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(actions_[Help]);
    help->addAction(actions_[About]);
}

void CMainFrame::createToolBar() {
    toolBar_ = new CMainToolBar(this);
    toolBar_->addAction(actions_[Probe]);
    toolBar_->addSeparator();
    toolBar_->addAction(actions_[Set]);
    toolBar_->addAction(actions_[Reboot]);
    toolBar_->addSeparator();
    toolBar_->addAction(actions_[Clear]);
    toolBar_->addSeparator();
    toolBar_->addAction(actions_[Save]);
    toolBar_->addAction(actions_[Load]);
    toolBar_->addSeparator();
    toolBar_->addAction(actions_[Help]);
    toolBar_->addSeparator();
    toolBar_->addClassFilter();
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::createStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    // A prompt shown while a command is hovered covers "Ready"; it comes back afterwards.
    messagePane_ = new QLabel(QStringLiteral("Ready"), bar);
    bar->addWidget(messagePane_, 1);
    const auto indicator = [bar](const QString& name) {
        auto* label = new QLabel(bar);
        label->setObjectName(name);
        label->setAlignment(Qt::AlignCenter);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(name) + 12);
        bar->addPermanentWidget(label);
        return label;
    };
    capsIndicator_ = indicator(QStringLiteral("CAP"));
    numIndicator_ = indicator(QStringLiteral("NUM"));
    scrollIndicator_ = indicator(QStringLiteral("SCRL"));
    lockKeyTimer_ = new QTimer(this);
    lockKeyTimer_->setInterval(kLockKeyPollMs);
    connect(lockKeyTimer_, &QTimer::timeout, this, &CMainFrame::refreshLockIndicators);
    lockKeyTimer_->start();
    refreshLockIndicators();
}

void CMainFrame::refreshLockIndicators() {
    const LockKeys keys = readLockKeys().value_or(LockKeys{});
    capsIndicator_->setText(keys.capsLock ? QStringLiteral("CAP") : QString());
    numIndicator_->setText(keys.numLock ? QStringLiteral("NUM") : QString());
    scrollIndicator_->setText(keys.scrollLock ? QStringLiteral("SCRL") : QString());
}

QSize CMainFrame::firstWindowSize(QSize wanted, const QScreen* screen) {
    if (screen == nullptr) {
        return wanted;
    }
    // On a small screen, or a large scale factor, the window starts as large as fits.
    const QSize room = screen->availableGeometry().size() - kDecorationAllowance;
    return wanted.boundedTo(room.expandedTo(QSize(1, 1)));
}

void CMainFrame::nameForAssistiveTechnology() {
    menuBar()->setAccessibleName(QStringLiteral("Menu bar"));
    toolBar_->setAccessibleName(QStringLiteral("Toolbar"));
    toolBar_->classFilter().setAccessibleName(QStringLiteral("Parameter class"));
    statusBar()->setAccessibleName(QStringLiteral("Status bar"));
    splitter_->setAccessibleName(QStringLiteral("Devices and parameters"));
    leftView_->setAccessibleName(QStringLiteral("Device pane"));
    leftView_->treeList().setAccessibleName(QStringLiteral("Devices"));
    morvikView_->setAccessibleName(QStringLiteral("Parameter pane"));
    morvikView_->parameterList().setAccessibleName(QStringLiteral("Parameters"));
    capsIndicator_->setAccessibleName(QStringLiteral("Caps Lock"));
    numIndicator_->setAccessibleName(QStringLiteral("Num Lock"));
    scrollIndicator_->setAccessibleName(QStringLiteral("Scroll Lock"));
}

void CMainFrame::createPanes() {
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->setChildrenCollapsible(false);
    leftView_ = new CLeftView(splitter_);
    selection_ = std::make_unique<DeviceListSelection>(*leftView_);
    morvikView_ = new CMorvikView(splitter_);
    splitter_->addWidget(leftView_);
    splitter_->addWidget(morvikView_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({kLeftPaneWidth, kRightPaneWidth});
    setCentralWidget(splitter_);
}

void CMainFrame::initialUpdate(const QString& dataDirectory, const EndpointSettings& endpoints) {
    if (session_ != nullptr) {
        return;
    }
    leftView_->initialUpdate();
    morvikView_->initialUpdate();
    transport_ = std::make_unique<UdpTransport>(morvikView_->socket().endpoint(), endpoints);
    // Request ids start from the time of day, so that a restarted program does not repeat the
    // ids of the run before.
    const auto seed = static_cast<std::uint32_t>(std::time(nullptr));
    session_ = std::make_unique<ParameterSession>(
        ParameterSession::Ports{morvikView_->dialogs(), *selection_, morvikView_->table(),
                                toolBar_->classFilter(), *transport_, morvikView_->pacer()},
        QFile::encodeName(dataDirectory).toStdString(), seed);
    morvikView_->attachSession(*session_, *selection_);
    morvikView_->dialogs().setPromptHint(
        [dataDirectory] { return demoLoginHint(dataDirectory, installedDataDirectories()); });
    restoreLayout();
}

void CMainFrame::restoreLayout() {
    CDeviceTreeList& tree = leftView_->treeList();
    const RememberedLayout remembered = readRememberedLayout();
    if (remembered.deviceColumnWidths &&
        remembered.deviceColumnWidths->size() == tree.columnCount()) {
        for (int column = 0; column < tree.columnCount(); ++column) {
            tree.header()->resizeSection(column, remembered.deviceColumnWidths->at(column));
        }
        tree.RecalcTotalWidth();
    } else {
        widenColumnsForWholeTexts(tree);
    }
    const int leftPane = remembered.deviceListWidth.value_or(
        std::max(kLeftPaneWidth, paneWidthShowingEveryColumn(tree)));
    if (!isVisible()) {
        resize(firstWindowSize(windowSizeAround(leftPane), screen()));
    }
    splitter_->setSizes({leftPane, kRightPaneWidth});
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Changed values exist nowhere else: closing without a Yes keeps the window and them.
    if (holdsUnwrittenValues(morvikView_->table()) &&
        !ConfirmDialog::ask(QStringLiteral("Exit Confirm"),
                            QStringLiteral("Changed values are not written to the units !"),
                            QStringLiteral("They are lost when Morvik closes. "),
                            QStringLiteral("Do you want to close Morvik now? "), this,
                            ConfirmDialog::Default::No)) {
        event->ignore();
        return;
    }
    if (leftView_->isInitialised()) {
        const CDeviceTreeList& tree = leftView_->treeList();
        QList<int> widths;
        for (int column = 0; column < tree.columnCount(); ++column) {
            widths.append(tree.GetColumnWidth(column));
        }
        rememberLayout(widths, splitter_->sizes().value(0));
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::showProbeProgress() {
    const ProbeProgress progress{probeTimerId() != 0, leftView_->treeList().topLevelItemCount(),
                                 leftView_->checksumErrorsNotShown()};
    messagePane_->setText(progress.statusText());
    messagePane_->setToolTip({});
}

std::uint32_t CMainFrame::probeTimerId() const {
    return leftView_->probeTimerId();
}

void CMainFrame::updateCommandStates() {
    actions_[Probe]->setEnabled(probeTimerId() == 0);
}

void CMainFrame::onProbe() {
    leftView_->probe();
    updateCommandStates();
}

void CMainFrame::onHelp() {
    startHelp(this);
}

void CMainFrame::onAbout() {
    CAboutDialog about(this);
    about.exec();
}

void CMainFrame::activateOtherPane() {
    QWidget* left = &leftView_->treeList();
    QWidget* right = &morvikView_->parameterList();
    const bool leftActive = left->hasFocus() || leftView_->isAncestorOf(focusWidget());
    (leftActive ? right : left)->setFocus(Qt::OtherFocusReason);
}

} // namespace morvik
