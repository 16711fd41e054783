#pragma once

#include "cli/ConsoleDialogs.h"
#include "cli/SessionDriver.h"
#include "cli/WritePlan.h"

#include <string>

namespace morvik::cli {

// Every unit about to be written saved first into `folder`, one file each, named by its MAC
// and the time; false when one could not be saved (said on `dialogs`): then nothing may be
// written.
bool writeBackups(SessionDriver& driver, ConsoleDialogs& dialogs, const std::string& folder,
                  const WritePlan& plan);

} // namespace morvik::cli
