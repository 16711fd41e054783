#include "controls/DeviceTreeCompare.h"

namespace morvik {
namespace {

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

struct FirstNumber {
    bool found = false;
    QStringView prefix;
    QStringView digits; // without leading zeros
};

FirstNumber firstNumberOf(const QString& text) {
    FirstNumber number;
    qsizetype start = 0;
    while (start < text.size() && !isAsciiDigit(text[start])) {
        ++start;
    }
    number.prefix = QStringView(text).left(start);
    if (start == text.size()) {
        return number;
    }
    number.found = true;
    qsizetype end = start;
    while (end < text.size() && isAsciiDigit(text[end])) {
        ++end;
    }
    qsizetype significant = start;
    while (significant < end && text[significant] == u'0') {
        ++significant;
    }
    number.digits = QStringView(text).mid(significant, end - significant);
    return number;
}

// Compares digit runs of any length by value, so no long number can overflow.
int compareNumbers(QStringView a, QStringView b) {
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b);
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

int compareDeviceTreeTexts(const QString& a, const QString& b) {
    const int asText = sign(QString::compare(a, b, Qt::CaseInsensitive));
    const FirstNumber first = firstNumberOf(a);
    const FirstNumber second = firstNumberOf(b);
    if (!first.found && !second.found) {
        return asText;
    }
    if (first.prefix != second.prefix) {
        return asText;
    }
    const int byNumber = sign(compareNumbers(first.digits, second.digits));
    return byNumber != 0 ? byNumber : asText;
}

} // namespace morvik
