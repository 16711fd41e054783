#pragma once

#include <QColor>
#include <QString>

namespace morvik {

// The record behind one row of the device tree-list: every column text of the row, joined by
// NUL characters, so a row may carry more fields than the header has columns (the device list
// keeps a unit's product id, version and address mode that way without showing them).
class DeviceTreeRow {
public:
    static constexpr QChar kSeparator{u'\0'};

    explicit DeviceTreeRow(const QString& firstField = {});

    // The text of field `index`; empty when the record has no such field.
    QString field(int index) const;
    // Replaces field `index`, appending empty fields first when the record is shorter.
    void setField(int index, const QString& text);
    int fieldCount() const;

    bool bold = false;
    // Text colour of a row that is not selected: dark, to read on the list's pale background
    // in a dark theme too.
    QColor colour{0, 0, 0};

private:
    QString texts_;
};

} // namespace morvik
