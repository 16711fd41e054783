#pragma once

#include <string>

namespace morvik {

// A message a store has for the user; the program decides how to show it.
struct StoreMessage {
    std::string text;
    std::string caption;
    friend bool operator==(const StoreMessage&, const StoreMessage&) = default;
};

// What a refused select() means to the user.
inline StoreMessage outOfRangeMessage() {
    return {"Out of range of the database !", "Fatal Error"};
}

} // namespace morvik
