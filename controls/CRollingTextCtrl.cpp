#include "controls/CRollingTextCtrl.h"

#include <QIcon>
#include <QPainter>
#include <QTimerEvent>
#include <algorithm>
#include <cmath>

namespace morvik {
namespace {
const QColor kBackground(0, 0, 0);
constexpr QChar kImageMarker(u'^');
} // namespace

CRollingTextCtrl::CRollingTextCtrl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kBackground);
    setPalette(colours);
    setAutoFillBackground(true);
}

CRollingTextCtrl::LineStyle CRollingTextCtrl::styleOf(const QString& line) {
    const QChar last = line.isEmpty() ? QChar() : line.back();
    if (last == QChar(9)) {
        return {21, 700, QColor(255, 0, 0), false};
    }
    if (last == QChar(10)) {
        return {19, 700, QColor(255, 255, 0), false};
    }
    if (last == QChar(13)) {
        return {17, 700, QColor(0, 255, 255), false};
    }
    return {15, 100, QColor(255, 255, 255), last == kImageMarker};
}

QString CRollingTextCtrl::textOf(const QString& line) {
    const QChar last = line.isEmpty() ? QChar() : line.back();
    if (last == QChar(9) || last == QChar(10) || last == QChar(13) || last == kImageMarker) {
        return line.left(line.size() - 1);
    }
    return line;
}

QFont CRollingTextCtrl::fontFor(const LineStyle& style) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(style.pixelHeight);
    font.setWeight(style.weight >= 700 ? QFont::Bold : QFont::Thin);
    return font;
}

void CRollingTextCtrl::SetLines(const QString& text, QChar separator) {
    lines_ = text.split(separator);
    nextLine_ = 0;
    currentLine_ = -1;
    update();
}

void CRollingTextCtrl::SetTickInterval(int index, int interval) {
    if (index < 0 || index >= static_cast<int>(intervals_.size())) {
        return;
    }
    if (interval != 0) {
        intervals_[static_cast<std::size_t>(index)] = interval;
    }
    intervalIndex_ = index;
}

void CRollingTextCtrl::StartRolling() {
    if (lines_.isEmpty()) {
        return;
    }
    if (timerId_ != 0) {
        killTimer(timerId_);
    }
    timerId_ = startTimer(tickInterval(), Qt::PreciseTimer);
    tickCounter_ = 1;
    nextLine_ = 0;
    currentLine_ = -1;
    currentLineHeight_ = kFirstLineHeight;
    scrolledIn_ = 0;
    firstPass_ = true;
    widestLine_ = 0;
    imageScrolling_ = false;
    resetPicture();
}

void CRollingTextCtrl::resetPicture() {
    // Drawn at the screen's own density: a whole number of device pixels per logical one, so
    // that a scroll by one logical pixel is a whole scroll of the picture.
    pictureScale_ = std::max(1, static_cast<int>(std::ceil(devicePixelRatioF())));
    picture_ = QPixmap(size().expandedTo(QSize(1, 1)) * pictureScale_);
    picture_.setDevicePixelRatio(pictureScale_);
    picture_.fill(kBackground);
}

QSize CRollingTextCtrl::pictureSize() const {
    return picture_.size() / pictureScale_;
}

QPixmap CRollingTextCtrl::imageAt(const QString& path) const {
    // Through QIcon, which finds the "@2x" drawing next to the plain one.
    const QIcon icon(path);
    const QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty()) {
        return QPixmap(path);
    }
    return icon.pixmap(sizes.first(), devicePixelRatioF());
}

void CRollingTextCtrl::tick() {
    if (!imageScrolling_) {
        const int counter = tickCounter_++;
        if (counter % currentLineHeight_ == 0) {
            tickCounter_ = 1;
            if (nextLine_ >= lines_.size()) {
                nextLine_ = 0;
                firstPass_ = false;
            }
            currentLine_ = nextLine_++;
            scrolledIn_ = 0;
            const QString& line = lines_[currentLine_];
            const LineStyle style = styleOf(line);
            if (style.isImage) {
                const QPixmap image = imageAt(textOf(line));
                imageScrolling_ = true;
                currentLineHeight_ =
                    std::max(1, static_cast<int>(image.deviceIndependentSize().height()));
            } else {
                // An empty line is as high as a line of text in its font.
                currentLineHeight_ = std::max(1, QFontMetrics(fontFor(style)).height());
            }
        }
    }
    if (pictureSize() != size() ||
        pictureScale_ != std::max(1, static_cast<int>(std::ceil(devicePixelRatioF())))) {
        resetPicture();
    }
    picture_.scroll(0, -pictureScale_, picture_.rect());
    {
        QPainter painter(&picture_);
        const QSize shown = pictureSize();
        painter.fillRect(0, shown.height() - 1, shown.width(), 1, kBackground);
    }
    if (currentLine_ >= 0) {
        ++scrolledIn_;
        drawCurrentLine();
    }
    if (imageScrolling_ && scrolledIn_ >= currentLineHeight_) {
        // The image is in: the next line starts with the next tick.
        imageScrolling_ = false;
        tickCounter_ = currentLineHeight_;
    }
    update();
}

void CRollingTextCtrl::drawCurrentLine() {
    const QString& line = lines_[currentLine_];
    const LineStyle style = styleOf(line);
    const QSize shown = pictureSize();
    const int top = shown.height() - scrolledIn_;
    QPainter painter(&picture_);
    painter.fillRect(0, top, shown.width(), currentLineHeight_, kBackground);
    if (style.isImage) {
        const QPixmap image = imageAt(textOf(line));
        const int imageWidth = static_cast<int>(image.deviceIndependentSize().width());
        painter.drawPixmap((shown.width() - imageWidth) / 2, top, image);
        return;
    }
    const QFont font = fontFor(style);
    const QString text = textOf(line);
    const int width = QFontMetrics(font).horizontalAdvance(text);
    widestLine_ = std::min(std::max(widestLine_, width), shown.width());
    const QRect band((shown.width() - widestLine_) / 2, top, widestLine_, currentLineHeight_);
    painter.setFont(font);
    painter.setPen(style.colour);
    // "&" is shown as it is.
    painter.drawText(
        band, int(Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip), text);
}

void CRollingTextCtrl::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timerId_) {
        tick();
        return;
    }
    QWidget::timerEvent(event);
}

void CRollingTextCtrl::resizeEvent(QResizeEvent* /*event*/) {
    if (timerId_ != 0) {
        resetPicture();
    }
}

void CRollingTextCtrl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (timerId_ != 0) {
        painter.drawPixmap(0, 0, picture_);
        return;
    }
    painter.fillRect(rect(), kBackground);
    int blockHeight = 0;
    for (const QString& line : lines_) {
        blockHeight += QFontMetrics(fontFor(styleOf(line))).height();
    }
    int top = blockHeight < height() ? (height() - blockHeight) / 2 : 0;
    for (const QString& line : lines_) {
        const LineStyle style = styleOf(line);
        const QFont font = fontFor(style);
        const int lineHeight = QFontMetrics(font).height();
        if (style.isImage) {
            const QPixmap image = imageAt(textOf(line));
            const int imageWidth = static_cast<int>(image.deviceIndependentSize().width());
            painter.drawPixmap((width() - imageWidth) / 2, top, image);
        } else {
            painter.setFont(font);
            painter.setPen(style.colour);
            painter.drawText(QRect(0, top, width(), lineHeight),
                             int(Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine),
                             textOf(line));
        }
        top += lineHeight;
    }
}

} // namespace morvik
