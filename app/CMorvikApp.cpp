#include "app/CMorvikApp.h"

#include "app/AppSettings.h"
#include "app/CMainFrame.h"
#include "app/DataDirectory.h"
#include "app/FirstPaintTiming.h"
#include "app/FocusFrameStyle.h"
#include "protocol/UdpEndpoint.h"

#include <QDir>
#include <QMessageBox>

namespace morvik {

bool socketLayerAvailable() {
    return UdpEndpoint::bind("0.0.0.0", 0).has_value();
}

CMorvikApp::CMorvikApp() = default;
CMorvikApp::~CMorvikApp() = default;

bool CMorvikApp::initInstance() {
    // Without sockets the program could neither probe nor talk to a unit.
    if (!socketCheck()) {
        QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kTitle),
                        QString::fromLatin1(kSocketFailureMessage), QMessageBox::Ok);
        box.exec();
        return false;
    }
    useProgramSettings();
    FocusFrameStyle::install();
    dataDirectory_ = std::make_unique<DataDirectoryRecord>(chooseDataDirectory(
        QDir::currentPath(), perUserDataDirectory(), installedDataDirectories()));

    mainFrame_ = std::make_unique<CMainFrame>();
    mainFrame_->initialUpdate(dataDirectory_->directory());
    FirstPaintTiming::watch(*mainFrame_);
    mainFrame_->showNormal();
    mainFrame_->repaint();
    return true;
}

} // namespace morvik
