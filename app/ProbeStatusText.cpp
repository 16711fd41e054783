#include "app/ProbeStatusText.h"

namespace morvik {

QString ProbeProgress::statusText() const {
    QString text;
    if (probing) {
        text = QStringLiteral("Probing ...");
        if (unitsListed == 1) {
            text += QStringLiteral(" 1 unit has answered.");
        } else if (unitsListed > 1) {
            text += QStringLiteral(" %1 units have answered.").arg(unitsListed);
        }
    } else {
        text = unitsListed == 1 ? QStringLiteral("1 unit answered the probe.")
                                : QStringLiteral("%1 units answered the probe.").arg(unitsListed);
    }
    if (checksumErrorsNotShown == 1) {
        text += QStringLiteral(" 1 more reply had a checksum error.");
    } else if (checksumErrorsNotShown > 1) {
        text +=
            QStringLiteral(" %1 more replies had a checksum error.").arg(checksumErrorsNotShown);
    }
    return text;
}

} // namespace morvik
