#include "app/RememberedLayout.h"

#include <QSettings>
#include <QStringList>

namespace morvik {
namespace {

const QString kColumnsKey = QStringLiteral("layout/deviceListColumns");
const QString kPaneKey = QStringLiteral("layout/deviceListWidth");
constexpr int kColumns = 3;
// A column narrower than this could not be found again to be widened.
constexpr int kNarrowestColumn = 16;
constexpr int kNarrowestPane = 40;
// Far beyond any screen: a larger value is damage, not a choice.
constexpr int kWidest = 20000;

std::optional<int> widthFrom(const QString& text, int narrowest) {
    bool isNumber = false;
    const int width = text.trimmed().toInt(&isNumber);
    if (!isNumber || width < narrowest || width > kWidest) {
        return std::nullopt;
    }
    return width;
}

} // namespace

RememberedLayout readRememberedLayout() {
    const QSettings settings;
    RememberedLayout layout;
    const QStringList columns = settings.value(kColumnsKey).toStringList();
    if (columns.size() == kColumns) {
        QList<int> widths;
        for (const QString& column : columns) {
            if (const auto width = widthFrom(column, kNarrowestColumn)) {
                widths.append(*width);
            }
        }
        if (widths.size() == kColumns) {
            layout.deviceColumnWidths = widths;
        }
    }
    layout.deviceListWidth = widthFrom(settings.value(kPaneKey).toString(), kNarrowestPane);
    return layout;
}

void rememberLayout(const QList<int>& deviceColumnWidths, int deviceListWidth) {
    QSettings settings;
    QStringList columns;
    for (const int width : deviceColumnWidths) {
        columns.append(QString::number(width));
    }
    settings.setValue(kColumnsKey, columns);
    settings.setValue(kPaneKey, deviceListWidth);
}

} // namespace morvik
