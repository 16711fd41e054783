#pragma once

#include "protocol/ReadReplyBody.h"

#include <string>
#include <utility>
#include <vector>

namespace morvik::test {

// A description's parameter table reduced to what the body walk asks: addresses and sizes in
// table order. Lookups follow the parameter pane's rules (first exact match; a range covers the
// rows whose address starts with the range address less its last character).
class TableLayout : public ParameterLayout {
public:
    struct Row {
        std::string address;
        int size;
    };

    explicit TableLayout(std::vector<Row> rows) : rows_(std::move(rows)) {}

    int findParameter(std::string_view address) const override {
        for (std::size_t i = 0; i < rows_.size() && !rows_[i].address.empty(); ++i) {
            if (rows_[i].address == address) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    std::pair<int, int> findRange(std::string_view rangeAddress) const override {
        const std::string_view prefix = rangeAddress.substr(0, rangeAddress.size() - 1);
        int first = -1;
        int last = -1;
        for (std::size_t i = 0; i < rows_.size() && !rows_[i].address.empty(); ++i) {
            if (std::string_view(rows_[i].address).substr(0, prefix.size()) == prefix) {
                if (first < 0) {
                    first = static_cast<int>(i);
                }
                last = static_cast<int>(i);
            }
        }
        return {first, last};
    }

    int parameterSize(int index) const override {
        return rows_.at(static_cast<std::size_t>(index)).size;
    }

    const std::vector<Row>& rows() const { return rows_; }

private:
    std::vector<Row> rows_;
};

} // namespace morvik::test
