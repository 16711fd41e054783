#include "controls/CDeviceTreeTip.h"

namespace morvik {

const QColor CDeviceTreeTip::kCaretBackground{128, 128, 95};
const QColor CDeviceTreeTip::kRowBackground{250, 254, 218};

CDeviceTreeTip::CDeviceTreeTip(QWidget* parent)
    : QLabel(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                         Qt::WindowTransparentForInput) {
    // The tip lies over the row it describes: a click on it must reach that row, or a unit with
    // a long name could not be selected where its name is shown.
    setAttribute(Qt::WA_TransparentForMouseEvents);
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

} // namespace morvik
