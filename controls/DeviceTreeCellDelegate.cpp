#include "controls/DeviceTreeCellDelegate.h"

#include "controls/CDeviceTreeList.h"
#include "controls/CellTextFitting.h"
#include "controls/ReadableColours.h"

#include <QPainter>
#include <algorithm>

namespace morvik {

using namespace deviceTreeCells;

DeviceTreeCellDelegate::DeviceTreeCellDelegate(CDeviceTreeList& tree)
    : QStyledItemDelegate(&tree), tree_(tree) {}

void DeviceTreeCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QTreeWidgetItem* item = tree_.itemFromIndex(index);
    const DeviceTreeRow* row = tree_.rowOf(item);
    if (row == nullptr) {
        return;
    }
    const int column = index.column();
    const bool selected = option.state & QStyle::State_Selected;
    QRect cell = option.rect;
    if (column == 0) {
        if (!tree_.rowImages().isEmpty()) {
            const int top = cell.top() + (cell.height() - kImageSize) / 2;
            tree_.rowImages().first().paint(
                painter, QRect(cell.left() + kImageLeft, top, kImageSize, kImageSize));
        }
        cell.setLeft(cell.left() + kImageLeft + kImageSize + kLabelGap);
        cell.setRight(option.rect.right() - 2);
    }
    painter->save();
    QFont font = option.font;
    if (row->bold) {
        font.setWeight(QFont::Bold);
    }
    painter->setFont(font);
    // The rows keep their own pale background whatever the theme, so their text is paired
    // with it rather than taken from the theme; the selection is the theme's.
    if (selected) {
        const QColor highlight = option.palette.color(QPalette::Highlight);
        painter->fillRect(cell, highlight);
        painter->setPen(
            readable::textOn(option.palette.color(QPalette::HighlightedText), highlight));
    } else {
        painter->setPen(readable::textOn(row->colour, CDeviceTreeList::kBackground));
    }
    const QString shown = fitCellText(row->field(column), QFontMetrics(font), cell.width());
    const QRect textRect(cell.left(), cell.top(), std::max(0, cell.width() - 4), cell.height());
    Qt::Alignment horizontal = Qt::AlignLeft;
    switch (tree_.GetColumnAlignment(column)) {
    case CDeviceTreeList::AlignRight:
        horizontal = Qt::AlignRight;
        break;
    case CDeviceTreeList::AlignCentre:
        horizontal = Qt::AlignHCenter;
        break;
    default:
        break;
    }
    painter->setClipRect(option.rect);
    painter->drawText(textRect, int(horizontal | Qt::AlignVCenter | Qt::TextSingleLine), shown);
    painter->restore();
}

} // namespace morvik
