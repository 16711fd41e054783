#include "text/Ipv4Text.h"

#include <arpa/inet.h>

namespace morvik {

std::optional<std::uint32_t> parseIpv4(std::string_view text) {
    std::uint32_t hostOrder = 0;
    int numbers = 0;
    std::size_t at = 0;
    while (numbers < 4) {
        if (numbers > 0) {
            if (at >= text.size() || text[at] != '.') {
                return std::nullopt;
            }
            ++at;
        }
        const std::size_t start = at;
        unsigned number = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 3) {
            number = number * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
        }
        const bool leadingZero = at - start > 1 && text[start] == '0';
        if (at == start || leadingZero || number > 255) {
            return std::nullopt;
        }
        hostOrder = hostOrder << 8 | number;
        ++numbers;
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    return htonl(hostOrder);
}

} // namespace morvik
