#pragma once

#include <QList>

class QFontMetrics;

namespace morvik {

class CDeviceTreeList;

// Widths of the device list's columns in which a whole MAC, a whole IPv4 address and a name of
// typical length are shown without "...". Never narrower than `atLeast` (one width per column:
// name, IP, MAC).
QList<int> readableColumnWidths(const CDeviceTreeList& tree, const QList<int>& atLeast);

// Widens the columns of `tree` that are narrower than readableColumnWidths asks for.
void widenColumnsForWholeTexts(CDeviceTreeList& tree);

// The width of a device pane that shows every column of `tree` side by side, with room for a
// vertical scroll bar once the list grows longer than the pane.
int paneWidthShowingEveryColumn(const CDeviceTreeList& tree);

} // namespace morvik
