#pragma once

// Readable names for the cases of parameterised tests, so that a failing case names itself in
// ctest's list: letters and digits stay, every other run of characters becomes one "_".

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

namespace morvik::testing {

inline std::string caseName(std::string_view text) {
    std::string name;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            name += c;
        } else if (c != '\'' && !name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    while (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    return name.empty() ? std::string("empty") : name;
}

inline std::string caseName(const std::vector<std::string>& words) {
    std::string joined;
    for (const std::string& word : words) {
        joined += (joined.empty() ? "" : " ") + (word.empty() ? std::string("empty") : word);
    }
    return caseName(joined);
}

} // namespace morvik::testing
