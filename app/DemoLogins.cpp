#include "app/DemoLogins.h"

#include <QDir>
#include <QFileInfo>

namespace morvik {

QString demoLoginHint(const QString& dataDirectory, const QStringList& installedDirectories) {
    if (QFileInfo(QDir(dataDirectory).filePath(QStringLiteral("pwd.ini"))).size() > 0) {
        return {};
    }
    for (const QString& directory : installedDirectories) {
        const QDir demo(QDir(directory).filePath(QStringLiteral("demo")));
        if (QFileInfo(demo.filePath(QStringLiteral("pwd.ini"))).isFile()) {
            return QStringLiteral("Trying the demo? The simulated units' logins are listed in "
                                  "%1 and stored in %2.")
                .arg(QDir::toNativeSeparators(demo.filePath(QStringLiteral("README.md"))),
                     QDir::toNativeSeparators(demo.filePath(QStringLiteral("pwd.ini"))));
        }
    }
    return {};
}

} // namespace morvik
