#include "controls/CDeviceTreeTip.h"

#include <QApplication>
#include <QMouseEvent>

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

bool CDeviceTreeTip::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove) {
        return QLabel::event(event);
    }
    // Some window systems give the tip its own input, though it asks for none: the press that
    // was meant for the row beneath must still select it.
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (type == QEvent::MouseButtonPress) {
        hideTip();
    }
    if (beneath_ != nullptr) {
        const QPointF global = mouse->globalPosition();
        QMouseEvent passed(type, beneath_->mapFromGlobal(global), global, mouse->button(),
                           mouse->buttons(), mouse->modifiers());
        QApplication::sendEvent(beneath_, &passed);
    }
    return true;
}

} // namespace morvik
