#pragma once

#include "description/DeviceDescription.h"

#include <string_view>

namespace morvik {

// Whether two texts of a row's value column stand for one value: the same text, or texts that
// give the row the same value bytes ("1500" and "1500  bytes", "192.168.010.021" and
// "192.168.10.21", "02-1a-2b-3c-4d-5e" and "02:1A:2B:3C:4D:5E", "On" and the number it names).
// A text that gives no value bytes (no value of the row's type, or a row whose type carries
// none) equals only the very same text: nothing better is known of what it stands for.
bool sameValue(const ParameterRow& row, std::string_view first, std::string_view second);

} // namespace morvik
