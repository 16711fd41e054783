#include "cli/Backups.h"

#include "cli/UnitLabel.h"

#include <algorithm>
#include <array>
#include <ctime>

namespace morvik::cli {

namespace {

// 20261208T091500Z: backups of several runs sort in time; a name taken in the same second
// gets a number (see createFileWithUniqueName).
std::string backupStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y%m%dT%H%M%SZ", &utc);
    return text.data();
}

std::string macFileName(std::string mac) {
    std::replace(mac.begin(), mac.end(), ':', '-');
    return mac;
}

} // namespace

bool writeBackups(SessionDriver& driver, ConsoleDialogs& dialogs, const std::string& folder,
                  const WritePlan& plan) {
    const std::string stamp = backupStamp();
    for (std::size_t i = 0; i < plan.answered.size(); ++i) {
        if (plan.plans[i].empty()) {
            continue;
        }
        const DeviceRecord& unit = plan.answered[i];
        const FileWrite backup = driver.backupUnitValues(unit, plan.answeredReads[i], folder,
                                                         macFileName(unit.mac) + "-" + stamp);
        if (!backup.written) {
            dialogs.note("cannot write the backup " + backup.path + " of " + unitLabel(unit) +
                         ": " + backup.reason + "; nothing was written to any unit");
            return false;
        }
        dialogs.note("backup of " + unitLabel(unit) + ": " + backup.path);
    }
    return true;
}

} // namespace morvik::cli
