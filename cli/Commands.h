#pragma once

#include "cli/CliOptions.h"

#include <ostream>

namespace morvik::cli {

// Exit status of the tool.
enum ExitStatus : int {
    kExitSuccess = 0,
    kExitUnitFailed = 1, // a unit refused, failed to answer, or the operation was refused
    kExitUsage = 2,
    kExitCredentialsNeeded = 3,
    kExitNoAnswer = 4, // no unit answered at all: the networks probed and a hint on stderr
};

// Runs one command: results on `out`, messages on `errors`.
int runCommand(const CliOptions& options, std::ostream& out, std::ostream& errors);

} // namespace morvik::cli
