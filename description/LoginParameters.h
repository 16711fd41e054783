#pragma once

#include <string_view>

namespace morvik {

// The units' login ID and password are the parameters "2.<n>.1" and "2.<n>.2": they are
// recognised by the first and the last two characters of the address.
inline bool isLoginIdAddress(std::string_view address) {
    return address.starts_with("2.") && address.ends_with(".1");
}

inline bool isLoginPasswordAddress(std::string_view address) {
    return address.starts_with("2.") && address.ends_with(".2");
}

inline bool isLoginAddress(std::string_view address) {
    return isLoginIdAddress(address) || isLoginPasswordAddress(address);
}

} // namespace morvik
