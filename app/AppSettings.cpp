#include "app/AppSettings.h"

#include <QCoreApplication>
#include <QSettings>
#include <utility>

namespace morvik {
namespace {
DataDirectoryRecord* thisRunsRecord = nullptr;
} // namespace

void useProgramSettings() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganisation));
    QCoreApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
}

DataDirectoryRecord::DataDirectoryRecord(QString directory)
    : directory_(std::move(directory)),
      writer_([directory = directory_] { writeDataDirectory(directory); }) {
    thisRunsRecord = this;
}

DataDirectoryRecord::~DataDirectoryRecord() {
    waitUntilStored();
    if (thisRunsRecord == this) {
        thisRunsRecord = nullptr;
    }
}

void DataDirectoryRecord::waitUntilStored() {
    if (writer_.joinable()) {
        writer_.join();
    }
}

DataDirectoryRecord* DataDirectoryRecord::current() {
    return thisRunsRecord;
}

void writeDataDirectory(const QString& directory) {
    QSettings settings;
    settings.setValue(QString::fromLatin1(kDataDirectoryKey), directory);
    settings.sync();
}

QString readDataDirectory() {
    if (const DataDirectoryRecord* record = DataDirectoryRecord::current()) {
        return record->directory();
    }
    return QSettings().value(QString::fromLatin1(kDataDirectoryKey)).toString();
}

} // namespace morvik
