// Texts from fleet files and units, converted both ways: whatever UTF-8 is accepted comes back
// byte for byte, and every byte string survives the trip through UTF-8 unchanged. The same bytes
// as a dotted IPv4 address read exactly as the socket API reads them.
#include "protocol/Latin1Text.h"
#include "protocol/LocalInterfaces.h"
#include "text/Ipv4Text.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto latin1 = morvik::utf8ToLatin1(bytes)) {
        require(latin1->size() <= bytes.size());
        require(morvik::latin1ToUtf8(*latin1) == bytes);
    }
    const std::string utf8 = morvik::latin1ToUtf8(bytes);
    require(utf8.size() <= 2 * bytes.size());
    require(morvik::utf8ToLatin1(utf8) == bytes);

    const auto address = morvik::parseIpv4(bytes);
    if (bytes.find('\0') == std::string_view::npos) {
        in_addr parsed{};
        const bool accepted = inet_pton(AF_INET, std::string(bytes).c_str(), &parsed) == 1;
        require(address.has_value() == accepted && (!accepted || *address == parsed.s_addr));
    }
    if (address) {
        require(morvik::dottedAddress(*address) == bytes);
    }
    return 0;
}
