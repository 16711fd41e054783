// Description files come from the data directory and may be anything: every text must parse
// without reading or writing outside the tables, and the tables must agree afterwards.
#include "description/DescriptionParser.h"
#include "description/ValueTypes.h"
#include "parameters/ClassFilter.h"
#include "parameters/Dialogs.h"
#include "parameters/ParameterTable.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

namespace {

class SilentDialogs final : public morvik::Dialogs {
public:
    void showMessage(std::string_view, std::string_view) override {}
    bool confirm(std::string_view, std::string_view, std::string_view, std::string_view) override {
        return false;
    }
    std::optional<morvik::Credentials> promptCredentials(std::string_view) override {
        return std::nullopt;
    }
};

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
    static morvik::ParameterTable table;
    static morvik::ClassFilterEntries filter;
    static SilentDialogs dialogs;

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int product = static_cast<int>(size % 5) * 20;
    const int minor = static_cast<int>(size % 3);
    const int result =
        morvik::parseDescriptionText(text, product, 1, minor, {cache, table, filter, dialogs});
    require(result == 1);

    const auto& rows = cache.current().rows();
    const int slot = cache.currentSlot();
    require(rows.size() <= static_cast<std::size_t>(morvik::kMaxParameterRows));
    require(table.lineCount() == static_cast<int>(rows.size()));
    const auto& groups = table.groupStart(slot);
    require(groups.size() == static_cast<std::size_t>(table.groupCount(slot)) + 1);
    require(groups.back() == static_cast<int>(rows.size()));
    require(filter.entries().size() + 1 == groups.size());

    // Every row's value type on bytes taken from the text itself, and back.
    const auto bytes =
        std::span<const std::uint8_t>(data, size).first(std::min<std::size_t>(size, 8));
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const int parameter = static_cast<int>(index);
        for (auto order :
             {morvik::ByteOrder::LeastSignificantFirst, morvik::ByteOrder::MostSignificantFirst}) {
            const std::string shown =
                morvik::valueToText(rows[index], table.definedValues(parameter),
                                    table.enumeration(parameter), bytes, order);
            const auto encoded = morvik::encodeValue(rows[index], table.definedValues(parameter),
                                                     table.enumeration(parameter), shown, order);
            require(!encoded || encoded.bytes.size() <= 0xFFFF);
            require(encoded || encoded.bytes.empty());
        }
    }
    return 0;
}
