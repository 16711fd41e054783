#include "app/HelpLauncher.h"

#include "app/AppSettings.h"

#include <QDir>
#include <QProcess>

namespace morvik {

QString helpViewer() {
    const QString chosen = qEnvironmentVariable("MORVIK_HELP_VIEWER");
    return chosen.isEmpty() ? QStringLiteral("xdg-open") : chosen;
}

void startHelp() {
    const QString dataDirectory = readDataDirectory();
    if (!dataDirectory.isEmpty()) {
        QDir::setCurrent(dataDirectory);
    }
    const QString manual = QDir::current().absoluteFilePath(QString::fromLatin1(kHelpFileName));
    QProcess::startDetached(helpViewer(), {manual}, QDir::currentPath());
}

} // namespace morvik
