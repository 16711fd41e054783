#include "controls/CellTextFitting.h"

namespace morvik {

QString fitCellText(const QString& text, const QFontMetrics& metrics, int cellWidth) {
    const int room = cellWidth - 8;
    if (metrics.horizontalAdvance(text) <= room) {
        return text;
    }
    qsizetype length = text.size();
    while (length > 0 && metrics.horizontalAdvance(text.left(length)) > room) {
        --length;
    }
    if (length > 0) {
        --length;
    }
    return text.left(length) + QStringLiteral("...");
}

} // namespace morvik
