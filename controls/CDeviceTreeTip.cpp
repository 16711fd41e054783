#include "controls/CDeviceTreeTip.h"

#include <QMouseEvent>

namespace morvik {

const QColor CDeviceTreeTip::kCaretBackground{128, 128, 95};
const QColor CDeviceTreeTip::kRowBackground{250, 254, 218};

CDeviceTreeTip::CDeviceTreeTip(QWidget* parent)
    : QLabel(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFrameShape(QFrame::Box);
    setMargin(1);
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(true);
    QFont tipFont = font();
    tipFont.setPixelSize(14);
    tipFont.setWeight(QFont::Normal);
    setFont(tipFont);
}

void CDeviceTreeTip::showTip(const QString& text, const QPoint& globalPosition, bool onCaretRow) {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, onCaretRow ? kCaretBackground : kRowBackground);
    colours.setColor(QPalette::WindowText, onCaretRow ? QColor(Qt::white) : QColor(Qt::black));
    setPalette(colours);
    setText(text);
    adjustSize();
    move(globalPosition);
    show();
    raise();
}

void CDeviceTreeTip::hideTip() {
    hide();
}

void CDeviceTreeTip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        hideTip();
    }
    QLabel::mousePressEvent(event);
}

} // namespace morvik

namespace morvik {

void CDeviceTreeTip::leaveEvent(QEvent* event) {
    // Back on the list, the next move shows the tip again where it applies.
    hideTip();
    QLabel::leaveEvent(event);
}

} // namespace morvik
