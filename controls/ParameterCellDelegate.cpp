#include "controls/ParameterCellDelegate.h"

#include "controls/ParameterListModel.h"
#include "controls/ReadableColours.h"

#include <QPainter>

namespace morvik {

namespace {

constexpr int kTextMargin = 4;
constexpr int kMarkInset = 2;
constexpr int kFocusFrameWidth = 2;

} // namespace

QColor ParameterCellDelegate::readableText(const QColor& wanted, const QColor& background) const {
    // A page paints every cell with one of a handful of pairs: measure each pair once.
    const quint64 key = (quint64(wanted.rgb()) << 32) | background.rgb();
    const auto found = readableTexts_.constFind(key);
    if (found != readableTexts_.cend()) {
        return QColor::fromRgb(*found);
    }
    const QColor colour = readable::textOn(wanted, background);
    readableTexts_.insert(key, colour.rgb());
    return colour;
}

void ParameterCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Active) != 0 ? QPalette::Active : QPalette::Inactive;
    const QColor base = option.palette.color(group, QPalette::Base);
    const QColor highlight = option.palette.color(group, QPalette::Highlight);
    const bool marked = index.data(ParameterListModel::MarkedRole).toBool();
    QRect textArea = option.rect;
    QColor background = base;
    if (selected) {
        painter->fillRect(option.rect, highlight);
        background = highlight;
        if (marked) {
            // Red on the selection colour reads badly in any theme: a marked value keeps a
            // patch of the list's own background inside the selected row, red on it as on
            // the rows around.
            textArea = option.rect.adjusted(kMarkInset, kMarkInset, -kMarkInset, -kMarkInset);
            painter->fillRect(textArea, base);
            background = base;
        }
    }
    // A marked value stays red; the red and the theme's own text colours are moved towards
    // black or white where the theme puts them on a background they do not read on.
    const QColor wanted = marked     ? ParameterListModel::markedTextColour()
                          : selected ? option.palette.color(group, QPalette::HighlightedText)
                                     : option.palette.color(group, QPalette::Text);
    const QColor colour = readableText(wanted, background);

    if ((option.state & QStyle::State_HasFocus) != 0) {
        // The keyboard's place in the list: a solid frame that stands out from the row it is
        // on. Drawn here rather than by the style, which shows it only after Tab was pressed.
        const QColor frameColour =
            selected
                ? readableText(option.palette.color(group, QPalette::HighlightedText), highlight)
                : readable::textOn(highlight, base, readable::kMinimumFrameContrast);
        painter->save();
        painter->setPen(QPen(frameColour, kFocusFrameWidth));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
        painter->restore();
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
