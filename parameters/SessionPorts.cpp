#include "parameters/SessionPorts.h"

#include <cctype>

namespace morvik {

std::optional<std::string> commonText(const std::vector<DeviceRecord>& units,
                                      std::string DeviceRecord::*field) {
    if (units.empty()) {
        return std::string();
    }
    const std::string& first = units.front().*field;
    for (const DeviceRecord& unit : units) {
        if (unit.*field != first) {
            return std::nullopt;
        }
    }
    return first;
}

int productCodeOf(const std::string& productId) {
    std::size_t at = 0;
    while (at < productId.size() && std::isspace(static_cast<unsigned char>(productId[at]))) {
        ++at;
    }
    // A field width of two counts the sign, as "%02d" scanning does.
    int width = 2;
    bool negative = false;
    if (at < productId.size() && (productId[at] == '-' || productId[at] == '+')) {
        negative = productId[at] == '-';
        ++at;
        --width;
    }
    int value = 0;
    for (; width > 0 && at < productId.size() &&
           std::isdigit(static_cast<unsigned char>(productId[at]));
         --width, ++at) {
        value = value * 10 + (productId[at] - '0');
    }
    return negative ? -value : value;
}

} // namespace morvik
