#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace morvik {

// Dialog layouts are given in dialog units: a quarter of the font's average character width
// across, an eighth of its height down. This turns them into pixels for a font.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int x(int units) const { return (units * baseWidth_ + 2) / 4; }
    int y(int units) const { return (units * baseHeight_ + 4) / 8; }
    QPoint point(int left, int top) const { return {x(left), y(top)}; }
    QSize size(int width, int height) const { return {x(width), y(height)}; }
    QRect rect(int left, int top, int width, int height) const {
        return {point(left, top), size(width, height)};
    }

private:
    int baseWidth_;
    int baseHeight_;
};

} // namespace morvik
