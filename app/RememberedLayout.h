#pragma once

#include <QList>
#include <optional>

namespace morvik {

// How the user last left the main window: the device list's column widths (name, IP, MAC) and
// the width of the device pane beside the parameter pane. Kept in the program's settings file,
// group "layout", beside the data directory's "path".
struct RememberedLayout {
    std::optional<QList<int>> deviceColumnWidths;
    std::optional<int> deviceListWidth;
};

// What the settings hold; a value that is missing, malformed or out of any sensible range is
// left empty, so that a damaged file never gives a zero-width column or pane.
RememberedLayout readRememberedLayout();
void rememberLayout(const QList<int>& deviceColumnWidths, int deviceListWidth);

} // namespace morvik
