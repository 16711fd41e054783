#include "controls/ParameterCellDelegate.h"

#include <QPainter>

namespace morvik {

namespace {

constexpr int kTextMargin = 4;

} // namespace

void ParameterCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Active) != 0 ? QPalette::Active : QPalette::Inactive;
    if (selected) {
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    }
    const QVariant foreground = index.data(Qt::ForegroundRole);
    QColor colour = foreground.isValid() ? foreground.value<QColor>()
                                         : option.palette.color(group, QPalette::Text);
    // A marked value stays red when selected; the rest take the selection's text colour.
    if (selected && colour == QColor(0, 0, 0)) {
        colour = option.palette.color(group, QPalette::HighlightedText);
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) {
        return;
    }
    const QRect textRect = option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
    const QFontMetrics& metrics = option.fontMetrics;
    const QString shown = metrics.horizontalAdvance(text) > textRect.width()
                              ? metrics.elidedText(text, Qt::ElideRight, textRect.width())
                              : text;
    painter->setPen(colour);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

} // namespace morvik
