#include "controls/CDeviceTreeHeader.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>

namespace morvik {

namespace {
// The sort marks are drawn in this many logical pixels.
const QSize kImageSize(16, 8);
} // namespace

CDeviceTreeHeader::CDeviceTreeHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setSortIndicatorShown(false);
    setStretchLastSection(false);
    setHighlightSections(false);
}

QList<QIcon> CDeviceTreeHeader::SetImageList(QList<QIcon> images) {
    QList<QIcon> previous = std::move(images_);
    images_ = std::move(images);
    viewport()->update();
    return previous;
}

void CDeviceTreeHeader::SetColumnImage(int column, int image) {
    if (image < 0) {
        columnImages_.remove(column);
    } else {
        columnImages_.insert(column, image);
    }
    viewport()->update();
}

int CDeviceTreeHeader::GetColumnImage(int column) const {
    return columnImages_.value(column, -1);
}

void CDeviceTreeHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid()) {
        return;
    }
    painter->save();
    painter->setClipRect(rect);

    // The platform draws the button face; the title and the image are ours.
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.state |= QStyle::State_Enabled;
    if (pressedSection_ == logicalIndex) {
        option.state |= QStyle::State_Sunken;
    } else {
        option.state |= QStyle::State_Raised;
    }
    style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);

    const QAbstractItemModel* headerModel = model();
    const QString title =
        headerModel != nullptr
            ? headerModel->headerData(logicalIndex, Qt::Horizontal, Qt::DisplayRole).toString()
            : QString();
    const int alignmentData =
        headerModel != nullptr
            ? headerModel->headerData(logicalIndex, Qt::Horizontal, Qt::TextAlignmentRole).toInt()
            : 0;
    const Qt::Alignment horizontal =
        Qt::Alignment(alignmentData) & (Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter);

    QFont titleFont = font();
    titleFont.setPixelSize(14);
    titleFont.setWeight(QFont::Normal);
    painter->setFont(titleFont);
    const QFontMetrics metrics(titleFont);
    const int margin = 2 * metrics.horizontalAdvance(QLatin1Char(' '));

    QRect titleRect = rect.adjusted(margin, 0, -margin, 0);
    if (pressedSection_ == logicalIndex) {
        titleRect.adjust(1, 2, 1, 0);
    }

    const int image = GetColumnImage(logicalIndex);
    if (!images_.isEmpty() && image >= 0 && image < images_.size()) {
        // Drawn for the screen's density from the sharpest drawing the icon has.
        const QPixmap pixmap = images_[image].pixmap(
            kImageSize,
            painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0);
        const int top = rect.top() + margin / 3;
        if (horizontal & Qt::AlignRight) {
            painter->drawPixmap(rect.left() + margin, top, pixmap);
            titleRect.setLeft(titleRect.left() + margin / 2 + kImageSize.width());
        } else {
            const int firstCharWidth = title.isEmpty() ? 0 : metrics.horizontalAdvance(title.at(0));
            painter->drawPixmap(rect.right() - margin - 2 * firstCharWidth, top, pixmap);
        }
    }

    const QString shown = metrics.elidedText(title, Qt::ElideRight, titleRect.width());
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->drawText(titleRect, int(horizontal | Qt::AlignVCenter | Qt::TextSingleLine), shown);
    painter->restore();
}

void CDeviceTreeHeader::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressedSection_ = logicalIndexAt(event->position().toPoint());
        viewport()->update();
    }
    QHeaderView::mousePressEvent(event);
}

void CDeviceTreeHeader::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && pressedSection_ != -1) {
        pressedSection_ = -1;
        viewport()->update();
    }
    QHeaderView::mouseReleaseEvent(event);
}

} // namespace morvik
