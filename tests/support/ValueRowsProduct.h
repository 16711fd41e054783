#pragma once

// A product whose rows hold the value texts that are easy to get wrong: names with blanks and
// with the letters of their unit, a "FLAG" with a unit, MAC and IP rows a user may edit, a float
// with a unit, a text longer than a configuration token once was, and the login rows. It is
// written as the description of "Vela8" (product 12), which the demo prodid.ini knows but the
// demo data has no description for.

#include "description/DescriptionText.h"

#include <string>
#include <utility>
#include <vector>

namespace morvik::testing {

inline constexpr int kValueRowsProductId = 12;
inline constexpr const char* kValueRowsVersion = "1.0";
inline constexpr const char* kValueRowsFileName = "Vela8_1.0.dcf";

inline std::string valueRowsDescription() {
    const std::string info = "System/Info";
    return descriptionText(
        {ClassLine{1, 0, 8}, ClassLine{1, 9, 10}},
        {
            EntryText{"0.1.0", "*char", info, "Device_name", "R/W", "16"},
            EntryText{"0.2.0",
                      "long",
                      info,
                      "Timeout",
                      "R/W",
                      "4",
                      "s",
                      {{9, "No_limit"}, {255, "Disabled"}}},
            EntryText{"0.3.0", "unsigned_char", info, "Retry_count", "R/W", "1"},
            EntryText{"0.4.0",
                      "FLAG",
                      info,
                      "Duplex",
                      "R/W",
                      "1",
                      "mode",
                      {},
                      {{"01", "Full_duplex"}, {"02", "Half_duplex"}}},
            EntryText{"0.5.0", "MAC", info, "Peer_MAC", "R/W", "6"},
            EntryText{"0.6.0", "IP", info, "Peer_IP", "R/W", "4"},
            EntryText{"0.7.0", "float", info, "Gain", "R/W", "4", "dB"},
            EntryText{"0.8.0", "*char", info, "Banner", "R/W", "80"},
            EntryText{"0.9.0", "*char", info, "Alias", "R/W", "16"},
            EntryText{"2.0.1", "*char", "Security/Login", "Login_ID", "R/W", "16"},
            EntryText{"2.0.2", "*char", "Security/Login", "Password", "R/W", "96"},
        });
}

} // namespace morvik::testing
