#pragma once

#include <QString>

namespace morvik {

// Order of two cell texts when the device list is sorted on a column: texts with the same
// prefix before their first number are ordered by that number, so "Unit 9" comes before
// "Unit 10"; everything else compares as text, ignoring case. Only the first number counts,
// which puts 192.168.0.10 before 192.168.0.9. Negative, zero or positive, ascending.
int compareDeviceTreeTexts(const QString& a, const QString& b);

} // namespace morvik
