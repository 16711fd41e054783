#include "app/HelpLauncher.h"

#include "app/AppSettings.h"
#include "app/DataDirectory.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace morvik {
namespace {

const QString kHelpCaption = QStringLiteral("Help");

bool showManual(const QString& manual) {
    const QString viewer = helpViewer();
    if (!viewer.isEmpty()) {
        return QProcess::startDetached(viewer, {manual}, QDir::currentPath());
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(manual));
}

} // namespace

QString helpViewer() {
    return qEnvironmentVariable("MORVIK_HELP_VIEWER");
}

QString findManual(const QString& dataDirectory, const QStringList& installedDirectories) {
    const QString name = QString::fromLatin1(kHelpFileName);
    QStringList candidates;
    if (!dataDirectory.isEmpty()) {
        candidates << dataDirectory;
    }
    candidates << installedDirectories;
    for (const QString& directory : candidates) {
        const QFileInfo manual(QDir(directory).filePath(name));
        if (manual.isFile() && manual.isReadable()) {
            return manual.absoluteFilePath();
        }
    }
    return {};
}

HelpOutcome startHelp(QWidget* parent) {
    const QString dataDirectory = readDataDirectory();
    if (!dataDirectory.isEmpty()) {
        QDir::setCurrent(dataDirectory);
    }
    const QString manual = findManual(QDir::currentPath(), installedDataDirectories());
    if (manual.isEmpty()) {
        QMessageBox::warning(
            parent, kHelpCaption,
            QStringLiteral("The help manual %1 is neither in the data directory %2 nor "
                           "installed with the program.")
                .arg(QString::fromLatin1(kHelpFileName),
                     QDir::toNativeSeparators(QDir::currentPath())));
        return HelpOutcome::NoManual;
    }
    if (!showManual(manual)) {
        QMessageBox::warning(parent, kHelpCaption,
                             QStringLiteral("Nothing on this desktop can show the help manual. "
                                            "Open %1 in a web browser.")
                                 .arg(QDir::toNativeSeparators(manual)));
        return HelpOutcome::NoViewer;
    }
    return HelpOutcome::Shown;
}

} // namespace morvik
