#include "app/AppSettings.h"

#include <QCoreApplication>
#include <QSettings>

namespace morvik {

void useProgramSettings() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganisation));
    QCoreApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
}

void writeDataDirectory(const QString& directory) {
    QSettings settings;
    settings.setValue(QString::fromLatin1(kDataDirectoryKey), directory);
    settings.sync();
}

QString readDataDirectory() {
    QSettings settings;
    return settings.value(QString::fromLatin1(kDataDirectoryKey)).toString();
}

} // namespace morvik
