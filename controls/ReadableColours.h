#pragma once

#include <QColor>

namespace morvik {

// Text must stay legible whatever the desktop theme makes of the colours around it: these
// measure contrast the way the accessibility guidelines do (relative luminance, ratio from 1
// to 21) and move a text colour towards black or white until it reads on its background.
namespace readable {

constexpr double kMinimumTextContrast = 4.5;
// Frames and other marks that are not text.
constexpr double kMinimumFrameContrast = 3.0;

double relativeLuminance(const QColor& colour);
double contrastRatio(const QColor& first, const QColor& second);

// `wanted` itself when it already reads on `background`; otherwise the same hue blended towards
// black or white, whichever gets there, by the smallest step that reaches `minimum`.
QColor textOn(const QColor& wanted, const QColor& background,
              double minimum = kMinimumTextContrast);

} // namespace readable

} // namespace morvik
