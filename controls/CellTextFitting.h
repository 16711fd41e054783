#pragma once

#include <QFontMetrics>
#include <QString>

namespace morvik {

// The text drawn in a device list cell `cellWidth` pixels wide: the whole text when it fits in
// cellWidth - 8 pixels; otherwise the longest start of it that fits there, less one more
// character, followed by "..." ("..." alone when nothing fits).
QString fitCellText(const QString& text, const QFontMetrics& metrics, int cellWidth);

} // namespace morvik
