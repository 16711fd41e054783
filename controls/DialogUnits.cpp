#include "controls/DialogUnits.h"

#include <QFontMetrics>

namespace morvik {

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseWidth_ = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    baseHeight_ = metrics.height();
}

} // namespace morvik
