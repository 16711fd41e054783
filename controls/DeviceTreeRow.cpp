#include "controls/DeviceTreeRow.h"

namespace morvik {

DeviceTreeRow::DeviceTreeRow(const QString& firstField) : texts_(firstField) {}

QString DeviceTreeRow::field(int index) const {
    if (index < 0) {
        return {};
    }
    return texts_.section(kSeparator, index, index);
}

void DeviceTreeRow::setField(int index, const QString& text) {
    if (index < 0) {
        return;
    }
    QStringList fields = texts_.split(kSeparator);
    while (fields.size() <= index) {
        fields.append(QString());
    }
    // A separator inside the text would split it into two fields.
    QString cleaned = text;
    cleaned.remove(kSeparator);
    fields[index] = cleaned;
    texts_ = fields.join(kSeparator);
}

int DeviceTreeRow::fieldCount() const {
    return static_cast<int>(texts_.count(kSeparator)) + 1;
}

} // namespace morvik
