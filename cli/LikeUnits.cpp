#include "cli/LikeUnits.h"

#include <map>
#include <tuple>

namespace morvik::cli {

std::vector<std::vector<int>> groupsOfLikeUnits(const std::vector<DeviceRecord>& units) {
    std::vector<std::vector<int>> groups;
    std::map<std::tuple<std::string, std::string, std::string>, std::size_t> groupOf;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto key =
            std::make_tuple(units[i].productId, units[i].version, units[i].addressMode);
        const auto [found, added] = groupOf.emplace(key, groups.size());
        if (added) {
            groups.emplace_back();
        }
        groups[found->second].push_back(static_cast<int>(i));
    }
    return groups;
}

bool sameProduct(const DeviceRecord& a, const DeviceRecord& b) {
    return a.productId == b.productId && a.version == b.version;
}

std::vector<DeviceRecord> unitsAt(const std::vector<DeviceRecord>& units,
                                  const std::vector<int>& indices) {
    std::vector<DeviceRecord> chosen;
    chosen.reserve(indices.size());
    for (const int index : indices) {
        chosen.push_back(units[static_cast<std::size_t>(index)]);
    }
    return chosen;
}

std::string joined(const std::vector<std::string>& words, std::string_view separator) {
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty()) {
            text += separator;
        }
        text += word;
    }
    return text;
}

} // namespace morvik::cli
