#include "app/DataDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace morvik {
namespace {

const QString kProductDatabase = QStringLiteral("prodid.ini");
const QString kDescriptionPattern = QStringLiteral("*.dcf");

QStringList descriptionFiles(const QDir& directory) {
    return directory.entryList({kDescriptionPattern}, QDir::Files | QDir::Readable);
}

QString canonical(const QString& path) {
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(path) : resolved;
}

} // namespace

bool holdsProgramData(const QString& directory) {
    const QDir dir(directory);
    return QFileInfo(dir.filePath(kProductDatabase)).isFile() || !descriptionFiles(dir).isEmpty();
}

QString perUserDataDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/morvik");
}

QStringList installedDataDirectories() {
    QStringList candidates;
    // A program installed under a prefix the XDG variables do not name (/opt, a scratch root)
    // still finds its own files.
    candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/morvik");
    for (const QString& base :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        candidates << base + QStringLiteral("/morvik");
    }
    const QString perUser = canonical(perUserDataDirectory());
    QStringList installed;
    for (const QString& candidate : candidates) {
        if (!QFileInfo(candidate).isDir()) {
            continue;
        }
        const QString path = canonical(candidate);
        if (path != perUser && !installed.contains(path)) {
            installed << path;
        }
    }
    return installed;
}

void seedDataDirectory(const QString& target, const QStringList& installed) {
    QDir().mkpath(target);
    for (const QString& source : installed) {
        if (!holdsProgramData(source) || canonical(source) == canonical(target)) {
            continue;
        }
        const QDir from(source);
        const QDir to(target);
        QStringList files = descriptionFiles(from);
        files << kProductDatabase;
        for (const QString& name : files) {
            if (from.exists(name) && !to.exists(name)) {
                QFile::copy(from.filePath(name), to.filePath(name));
                // Installed files are read-only; the user's copies are theirs to change.
                QFile(to.filePath(name))
                    .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ReadGroup | QFileDevice::ReadOther);
            }
        }
        return;
    }
}

QString chooseDataDirectory(const QString& workingDirectory, const QString& perUserDirectory,
                            const QStringList& installed) {
    if (holdsProgramData(workingDirectory)) {
        return workingDirectory;
    }
    seedDataDirectory(perUserDirectory, installed);
    return perUserDirectory;
}

} // namespace morvik
