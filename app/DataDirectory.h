#pragma once

#include <QString>
#include <QStringList>

namespace morvik {

// Where the program keeps its data files (prodid.ini, pwd.ini, the .dcf descriptions).
//
// A working directory that holds prodid.ini or a .dcf file is a data directory: started
// there, the program uses it, as it always has. Anywhere else (a start from a desktop menu
// runs in the home folder) the program uses its per-user data directory,
// $XDG_DATA_HOME/morvik (~/.local/share/morvik), and first copies into it every installed
// prodid.ini and .dcf file that it lacks. A file already there is never overwritten: it may
// be the user's own, and pwd.ini is only ever the user's.

// Does `directory` hold prodid.ini or a description file?
bool holdsProgramData(const QString& directory);

// $XDG_DATA_HOME/morvik.
QString perUserDataDirectory();

// The directories the package installed the data files and the manual to, most specific
// first: share/morvik beside the program's own bin/, then morvik/ under every XDG data
// directory. Only those that exist; the per-user directory is not among them.
QStringList installedDataDirectories();

// Copies prodid.ini and the .dcf files of the first of `installed` that holds program data
// into `target` (created when missing), each only when `target` does not have it yet.
void seedDataDirectory(const QString& target, const QStringList& installed);

// The data directory of a run started in `workingDirectory`, by the rule above; seeds the
// per-user directory when it chooses it.
QString chooseDataDirectory(const QString& workingDirectory, const QString& perUserDirectory,
                            const QStringList& installed);

} // namespace morvik
