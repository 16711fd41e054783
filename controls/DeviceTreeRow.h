#pragma once

#include "protocol/DeviceRecord.h"

#include <QColor>
#include <QString>
#include <string>
#include <vector>

namespace morvik {

// The record behind one row of the device tree-list: the unit the row shows, whose six texts
// are the row's first fields in the device list's column order (name, IP, MAC, product id,
// version, address mode), and any fields past them. A row may carry more fields than the
// header has columns: the device list keeps a unit's product id, version and address mode
// that way without showing them. Texts are 8-bit, as the units send them.
class DeviceTreeRow {
public:
    static constexpr int kUnitFields = 6;

    explicit DeviceTreeRow(const QString& firstField = {});
    explicit DeviceTreeRow(DeviceRecord unit);

    // The text of field `index`; empty when the record has no such field.
    QString field(int index) const;
    // Replaces field `index`, appending empty fields first when the record is shorter.
    void setField(int index, const QString& text);
    int fieldCount() const { return fieldCount_; }
    const DeviceRecord& unit() const { return unit_; }

    bool bold = false;
    // Text colour of a row that is not selected: dark, to read on the list's pale background
    // in a dark theme too.
    QColor colour{0, 0, 0};

private:
    const std::string* text(int index) const;
    std::string* text(int index);

    DeviceRecord unit_;
    std::vector<std::string> moreFields_;
    int fieldCount_ = 1;
};

} // namespace morvik
