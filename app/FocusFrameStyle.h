#pragma once

#include <QProxyStyle>

namespace morvik {

// The desktop's own style with one change: the control that has the keyboard focus (a push
// button, a combo box, a check box) carries a solid frame that reads on its background in
// light and dark themes, from the moment it has the focus, not only after Tab was pressed.
class FocusFrameStyle final : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;

    // Puts the style over the one the application uses now, once.
    static void install();

private:
    static void drawFocusFrame(const QStyleOption& option, QPainter& painter, const QRect& around);
};

} // namespace morvik
