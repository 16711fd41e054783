// Description files come from the data directory and may be anything: every text must parse
// without reading or writing outside the tables, and the tables must agree afterwards.
#include "description/DescriptionParser.h"
#include "description/ValueTypes.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One cache for the whole run, so that slots are also parsed again; a handful of triples
    // keeps it from filling up.
    static morvik::DescriptionCache cache;

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int product = static_cast<int>(size % 5) * 20;
    const int minor = static_cast<int>(size % 3);
    require(morvik::parseDescriptionText(text, product, 1, minor, cache).parsed());

    const morvik::DescriptionSlot& description = cache.current();
    const auto& rows = description.rows();
    require(rows.size() <= static_cast<std::size_t>(morvik::kMaxParameterRows));
    const auto& groups = description.groupStarts();
    require(groups.size() == static_cast<std::size_t>(description.groupCount()) + 1);
    require(groups.back() == static_cast<int>(rows.size()));
    require(description.groupNames().size() + 1 == groups.size());
    require(std::is_sorted(groups.begin(), groups.end()));

    // Every row's value type on bytes taken from the text itself, and back.
    const auto bytes =
        std::span<const std::uint8_t>(data, size).first(std::min<std::size_t>(size, 8));
    for (std::size_t index = 0; index < rows.size(); ++index) {
        for (auto order :
             {morvik::ByteOrder::LeastSignificantFirst, morvik::ByteOrder::MostSignificantFirst}) {
            const std::string shown = morvik::valueToText(rows[index], rows[index].definedValues,
                                                          rows[index].enumeration, bytes, order);
            const auto encoded = morvik::encodeValue(rows[index], rows[index].definedValues,
                                                     rows[index].enumeration, shown, order);
            require(!encoded || encoded.bytes.size() <= 0xFFFF);
            require(encoded || encoded.bytes.empty());
        }
    }
    return 0;
}
