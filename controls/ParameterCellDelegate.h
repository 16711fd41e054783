#pragma once

#include <QHash>
#include <QStyledItemDelegate>

namespace morvik {

// Draws the parameter list's cells the way a report list does: one line of plain text in the
// cell's own colour, cut with an ellipsis when it does not fit, on the selection colour for
// selected rows. Much cheaper than the general item delegate, whose text layout machinery made
// every repaint of a page of values cost milliseconds.
class ParameterCellDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QColor readableText(const QColor& wanted, const QColor& background) const;

    mutable QHash<quint64, QRgb> readableTexts_;
};

} // namespace morvik
