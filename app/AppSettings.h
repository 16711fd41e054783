#pragma once

#include <QString>

namespace morvik {

// The program's one stored setting: the data directory, section "morvik", value "path", under
// the organisation "Local AppWizard-Generated Applications" and the application "morvik".
// On Linux that is ~/.config/Local AppWizard-Generated Applications/morvik.conf.
inline constexpr const char* kSettingsOrganisation = "Local AppWizard-Generated Applications";
inline constexpr const char* kSettingsApplication = "morvik";
inline constexpr const char* kDataDirectoryKey = "morvik/path";

// Names the settings store after the program; called once at start-up.
void useProgramSettings();
// The whole path is kept, however long.
void writeDataDirectory(const QString& directory);
// Empty when the setting is missing.
QString readDataDirectory();

} // namespace morvik
