#pragma once

#include "cli/ConsoleDialogs.h"
#include "cli/Traffic.h"

#include <chrono>

namespace morvik::cli {

// The longest a run may take (without waits for the lock of pwd.ini), as --help states it:
// the probe window, at most six waits of at most (units + 1) timeouts each, and the 100 ms
// pauses between the units' requests that the run made.
std::chrono::milliseconds runBound(int waitMs, int timeoutMs, std::size_t units,
                                   const Traffic& traffic);

// --verbose: where the run's time went and what it sent and received, two notes.
void reportCost(ConsoleDialogs& dialogs, const Traffic& traffic, Clock::duration wall,
                std::chrono::milliseconds bound);

} // namespace morvik::cli
