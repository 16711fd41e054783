#include "app/FocusFrameStyle.h"

#include "controls/ReadableColours.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOption>

namespace morvik {

namespace {
constexpr int kFrameWidth = 2;
constexpr int kFrameInset = 3;
} // namespace

void FocusFrameStyle::install() {
    if (qobject_cast<FocusFrameStyle*>(QApplication::style()) != nullptr) {
        return;
    }
    // The base is made afresh by name, so QT_STYLE_OVERRIDE and -style still choose it.
    QApplication::setStyle(new FocusFrameStyle(QApplication::style()->name()));
}

void FocusFrameStyle::drawFocusFrame(const QStyleOption& option, QPainter& painter,
                                     const QRect& around) {
    if ((option.state & State_HasFocus) == 0 || around.width() < 2 * kFrameInset + 2) {
        return;
    }
    const QColor background = option.palette.color(QPalette::Button);
    const QColor colour = readable::textOn(option.palette.color(QPalette::Highlight), background,
                                           readable::kMinimumFrameContrast);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(colour, kFrameWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(around.adjusted(kFrameInset, kFrameInset, -kFrameInset, -kFrameInset));
    painter.restore();
}

void FocusFrameStyle::drawControl(ControlElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawControl(element, option, painter, widget);
    if (option == nullptr || painter == nullptr) {
        return;
    }
    if (element == CE_PushButton) {
        drawFocusFrame(*option, *painter, option->rect);
    } else if (element == CE_CheckBox || element == CE_RadioButton) {
        drawFocusFrame(*option, *painter,
                       option->rect.adjusted(-kFrameInset, -kFrameInset, kFrameInset, kFrameInset));
    }
}

void FocusFrameStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                         QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control == CC_ComboBox && option != nullptr && painter != nullptr) {
        drawFocusFrame(*option, *painter, option->rect);
    }
}

} // namespace morvik
