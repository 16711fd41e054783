#pragma once

#include <QString>
#include <thread>

namespace morvik {

// The program's one stored setting: the data directory, section "morvik", value "path", under
// the organisation "Local AppWizard-Generated Applications" and the application "morvik".
// On Linux that is ~/.config/Local AppWizard-Generated Applications/morvik.conf.
inline constexpr const char* kSettingsOrganisation = "Local AppWizard-Generated Applications";
inline constexpr const char* kSettingsApplication = "morvik";
inline constexpr const char* kDataDirectoryKey = "morvik/path";

// Names the settings store after the program; called once at start-up.
void useProgramSettings();

// The data directory of this run, recorded in the store at start-up. Storing ends with two
// flushes to the disk, so it runs on a worker thread and the first window does not wait for
// it; this process takes the directory from here rather than from a store still being written.
class DataDirectoryRecord {
public:
    // Starts storing `directory`.
    explicit DataDirectoryRecord(QString directory);
    // Waits until it is stored.
    ~DataDirectoryRecord();
    DataDirectoryRecord(const DataDirectoryRecord&) = delete;
    DataDirectoryRecord& operator=(const DataDirectoryRecord&) = delete;

    const QString& directory() const { return directory_; }
    void waitUntilStored();
    // The record of this run, or null.
    static DataDirectoryRecord* current();

private:
    QString directory_;
    std::thread writer_;
};

// Stores the path now, the whole path however long.
void writeDataDirectory(const QString& directory);
// The directory this run recorded; without a record, the stored setting (empty when missing).
QString readDataDirectory();

} // namespace morvik
