#include "protocol/Latin1Text.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

struct TextPair {
    const char* what;
    std::string latin1;
    std::string utf8;
};

TEST(Latin1Text, ConvertsEveryByteBothWays) {
    const TextPair pairs[] = {
        {"ASCII with control characters", std::string("a\x1b\r\n\0z", 6),
         std::string("a\x1b\r\n\0z", 6)},
        {"umlaut",
         "K\xFC"
         "che",
         "K\xC3\xBC"
         "che"},
        {"lowest and highest upper byte", "\x80\xBF\xC0\xFF", "\xC2\x80\xC2\xBF\xC3\x80\xC3\xBF"},
        {"empty", "", ""},
    };
    for (const auto& [what, latin1, utf8] : pairs) {
        EXPECT_EQ(latin1ToUtf8(latin1), utf8) << what;
        EXPECT_EQ(utf8ToLatin1(utf8), latin1) << what;
    }
}

TEST(Latin1Text, RefusesWhatAUnitCannotHold) {
    const std::pair<const char*, std::string> refused[] = {
        {"euro sign (U+20AC)", "\xE2\x82\xAC"},
        {"raw Latin-1 byte", "K\xFC"
                             "che"},
        {"lead byte at the end", "abc\xC3"},
        {"lead byte before ASCII", "\xC3"
                                   "a"},
        {"overlong slash", "\xC0\xAF"},
        {"overlong A", "\xC1\x81"},
        {"lone continuation byte", "\x80"},
        {"four-byte character", "\xF0\x9F\x98\x80"},
    };
    for (const auto& [what, utf8] : refused) {
        EXPECT_FALSE(utf8ToLatin1(utf8).has_value()) << what;
    }
}

} // namespace
} // namespace morvik
