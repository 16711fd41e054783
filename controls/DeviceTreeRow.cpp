#include "controls/DeviceTreeRow.h"

#include <algorithm>

namespace morvik {

DeviceTreeRow::DeviceTreeRow(const QString& firstField) {
    setField(0, firstField);
}

DeviceTreeRow::DeviceTreeRow(DeviceRecord unit)
    : unit_(std::move(unit)), fieldCount_(kUnitFields) {}

std::string* DeviceTreeRow::text(int index) {
    std::string* const unitTexts[kUnitFields] = {
        &unit_.name, &unit_.ip, &unit_.mac, &unit_.productId, &unit_.version, &unit_.addressMode};
    if (index < 0 || index >= fieldCount_) {
        return nullptr;
    }
    if (index < kUnitFields) {
        return unitTexts[index];
    }
    return &moreFields_[static_cast<std::size_t>(index - kUnitFields)];
}

const std::string* DeviceTreeRow::text(int index) const {
    return const_cast<DeviceTreeRow*>(this)->text(index);
}

QString DeviceTreeRow::field(int index) const {
    const std::string* found = text(index);
    // Latin-1 keeps every byte of a unit's text and gives it back unchanged.
    return found != nullptr ? QString::fromLatin1(*found) : QString();
}

void DeviceTreeRow::setField(int index, const QString& text) {
    if (index < 0) {
        return;
    }
    fieldCount_ = std::max(fieldCount_, index + 1);
    if (fieldCount_ > kUnitFields) {
        moreFields_.resize(static_cast<std::size_t>(fieldCount_ - kUnitFields));
    }
    // A field never holds a NUL character.
    QString cleaned = text;
    cleaned.remove(QChar(u'\0'));
    *this->text(index) = cleaned.toLatin1().toStdString();
}

} // namespace morvik
