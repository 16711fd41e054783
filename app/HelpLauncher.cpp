#include "app/HelpLauncher.h"

#include "app/AppSettings.h"
#include "app/DataDirectory.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace morvik {
namespace {

const QString kHelpCaption = QStringLiteral("Help");

void reportNoViewer(QWidget* parent, const QString& manual) {
    QMessageBox::warning(parent, kHelpCaption,
                         QStringLiteral("Nothing on this desktop can show the help manual. "
                                        "Open %1 in a web browser.")
                             .arg(QDir::toNativeSeparators(manual)));
}

// The program that opens the manual: the one MORVIK_HELP_VIEWER names, else on X11 and
// Wayland the desktop's opener xdg-open, whose exit status tells whether a viewer took the
// manual (it fails without a browser). Empty: Qt's desktop services choose.
QString viewerProgram() {
    const QString named = helpViewer();
    if (!named.isEmpty()) {
        return named;
    }
#ifdef Q_OS_UNIX
    const QString platform = QGuiApplication::platformName();
    if (platform == QStringLiteral("xcb") || platform.startsWith(QStringLiteral("wayland"))) {
        return QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    }
#endif
    return {};
}

// Runs the viewer and says so when it fails, whether it could not start or gave up. The
// viewer runs in the background of a shell that waits for it and exits with its status, so
// that closing Morvik ends only that shell and leaves the manual open.
class ViewerWatch : public QObject {
public:
    ViewerWatch(const QString& program, const QString& manual, QWidget* parent)
        : QObject(parent), manual_(manual), parent_(parent) {
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.setWorkingDirectory(QDir::currentPath());
        connect(&process_, &QProcess::finished, this,
                [this](int exitCode, QProcess::ExitStatus status) {
                    finish(exitCode == 0 && status == QProcess::NormalExit);
                });
        connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                finish(false);
            }
        });
        process_.start(QStringLiteral("/bin/sh"),
                       {QStringLiteral("-c"), QStringLiteral("\"$@\" </dev/null & wait $!"),
                        QStringLiteral("sh"), program, manual});
    }
    ~ViewerWatch() override {
        process_.disconnect(this);
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }

private:
    void finish(bool shown) {
        deleteLater();
        if (!shown) {
            reportNoViewer(parent_, manual_);
        }
    }

    QProcess process_;
    QString manual_;
    QPointer<QWidget> parent_;
};

// True when the manual was handed on; a viewer that fails later is reported then.
bool showManual(const QString& manual, QWidget* parent) {
    const QString viewer = viewerProgram();
    if (viewer.isEmpty()) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(manual));
    }
#ifdef Q_OS_UNIX
    new ViewerWatch(viewer, manual, parent); // Qt parent ownership; ends itself when done
    return true;
#else
    return QProcess::startDetached(viewer, {manual}, QDir::currentPath());
#endif
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
    if (!showManual(manual, parent)) {
        reportNoViewer(parent, manual);
        return HelpOutcome::NoViewer;
    }
    return HelpOutcome::Shown;
}

} // namespace morvik
