#pragma once

#include <QString>
#include <QStringList>

namespace morvik {

// What the password prompt adds while the data directory knows no login yet and the demo is
// installed: where the simulated demo units' logins are. Empty otherwise.
QString demoLoginHint(const QString& dataDirectory, const QStringList& installedDirectories);

} // namespace morvik
