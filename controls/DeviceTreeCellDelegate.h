#pragma once

#include <QStyledItemDelegate>

namespace morvik {

class CDeviceTreeList;

// Where a device row's image and label sit in its first cell.
namespace deviceTreeCells {
constexpr int kImageLeft = 2;
constexpr int kImageSize = 16;
constexpr int kLabelGap = 3;
constexpr int kEmptyLabelWidth = 4;
} // namespace deviceTreeCells

// Draws a device row's cells: the image and the texts, cut with "..." to fit, aligned as the
// column.
class DeviceTreeCellDelegate : public QStyledItemDelegate {
public:
    explicit DeviceTreeCellDelegate(CDeviceTreeList& tree);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    CDeviceTreeList& tree_;
};

} // namespace morvik
