#include "controls/ReadableColours.h"

#include <algorithm>
#include <cmath>

namespace morvik::readable {

namespace {

double linearChannel(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QColor blend(const QColor& from, const QColor& to, double share) {
    const auto mix = [share](int a, int b) {
        return static_cast<int>(std::lround(a + (b - a) * share));
    };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                  mix(from.blue(), to.blue()));
}

} // namespace

double relativeLuminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * linearChannel(rgb.redF()) + 0.7152 * linearChannel(rgb.greenF()) +
           0.0722 * linearChannel(rgb.blueF());
}

double contrastRatio(const QColor& first, const QColor& second) {
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor textOn(const QColor& wanted, const QColor& background, double minimum) {
    const QColor opaque = wanted.toRgb();
    if (contrastRatio(opaque, background) >= minimum) {
        return opaque;
    }
    // Black and white are the ends: at least one of them reaches 4.5 on any background.
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    const QColor end =
        contrastRatio(black, background) >= contrastRatio(white, background) ? black : white;
    constexpr int kSteps = 64;
    for (int step = 1; step < kSteps; ++step) {
        const QColor candidate = blend(opaque, end, static_cast<double>(step) / kSteps);
        if (contrastRatio(candidate, background) >= minimum) {
            return candidate;
        }
    }
    return end;
}

} // namespace morvik::readable
