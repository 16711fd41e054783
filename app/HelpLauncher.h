#pragma once

#include <QString>

namespace morvik {

// The help manual's file name in the data directory.
inline constexpr const char* kHelpFileName = "morvik.html";

// The Help command: the stored data directory becomes the working directory (a failure leaves
// it as it was), then the desktop's viewer is started on the manual found there, without
// waiting for it. Nothing is reported when anything fails. The viewer is `xdg-open` unless
// MORVIK_HELP_VIEWER names another program.
void startHelp();

// The program that shows the manual.
QString helpViewer();

} // namespace morvik
