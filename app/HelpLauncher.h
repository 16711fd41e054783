#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace morvik {

// The help manual's file name in the data directory.
inline constexpr const char* kHelpFileName = "morvik.html";

// How a Help command ended.
enum class HelpOutcome { Shown, NoManual, NoViewer };

// The manual of `dataDirectory`; without one there, the first installed one; empty when
// there is none.
QString findManual(const QString& dataDirectory, const QStringList& installedDirectories);

// The Help command: the stored data directory becomes the working directory (a failure leaves
// it as it was), then the manual is handed to the desktop, without waiting for a viewer. When
// there is no manual or nothing can show it, a message box owned by `parent` says so, with the
// manual's path; a viewer that starts and then fails (xdg-open without a browser) is reported
// when it ends. The desktop's choice of viewer is used unless MORVIK_HELP_VIEWER names a
// program to start.
HelpOutcome startHelp(QWidget* parent);

// The program that MORVIK_HELP_VIEWER names, or empty for the desktop's choice.
QString helpViewer();

} // namespace morvik
