#include "discovery/DeviceListColumns.h"

#include "controls/CDeviceTreeList.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

namespace morvik {
namespace {

// Longer than any name of the demo fleet and than most names people give their units.
const QString kTypicalName = QStringLiteral("orion16-rack-a12");
const QString kWidestAddress = QStringLiteral("255.255.255.255");
// A cell shows its text whole when the text is at most 8 pixels narrower than the cell; the
// text then ends 4 pixels before the cell's right edge. A little more keeps it off the edge.
constexpr int kCellPadding = 8 + 4;
// Between the start of the first column and its text: the row's image and the gaps around it.
constexpr int kRowImageAllowance = 2 + 16 + 3;
// The first column's text ends 2 pixels before the column does.
constexpr int kFirstColumnEnd = 2;

// Any MAC: twelve of the widest hexadecimal digit and five colons, whatever the font.
int widestMac(const QFontMetrics& metrics) {
    int digit = 0;
    for (const QChar hex : QStringLiteral("0123456789ABCDEF")) {
        digit = std::max(digit, metrics.horizontalAdvance(hex));
    }
    return 12 * digit + 5 * metrics.horizontalAdvance(QLatin1Char(':'));
}

} // namespace

QList<int> readableColumnWidths(const CDeviceTreeList& tree, const QList<int>& atLeast) {
    const QFontMetrics metrics(tree.font());
    const QList<int> needed{
        tree.indentation() + kRowImageAllowance + kFirstColumnEnd +
            metrics.horizontalAdvance(kTypicalName) + kCellPadding,
        metrics.horizontalAdvance(kWidestAddress) + kCellPadding,
        widestMac(metrics) + kCellPadding,
    };
    QList<int> widths = atLeast;
    for (qsizetype column = 0; column < widths.size() && column < needed.size(); ++column) {
        widths[column] = std::max(widths[column], needed[column]);
    }
    return widths;
}

void widenColumnsForWholeTexts(CDeviceTreeList& tree) {
    QList<int> widths;
    for (int column = 0; column < tree.columnCount(); ++column) {
        widths.append(tree.GetColumnWidth(column));
    }
    const QList<int> readable = readableColumnWidths(tree, widths);
    for (int column = 0; column < tree.columnCount(); ++column) {
        tree.header()->resizeSection(column, readable[column]);
    }
    tree.RecalcTotalWidth();
}

int paneWidthShowingEveryColumn(const CDeviceTreeList& tree) {
    const int scrollBar = tree.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &tree);
    return tree.totalWidth() + 2 * tree.frameWidth() + scrollBar;
}

} // namespace morvik
