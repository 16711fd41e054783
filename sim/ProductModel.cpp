#include "sim/ProductModel.h"

#include "description/DescriptionParser.h"
#include "parameters/ClassFilter.h"
#include "parameters/Dialogs.h"
#include "parameters/ParameterTable.h"
#include "stores/IniDatabaseFile.h"
#include "stores/ProductIdDatabase.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace morvik::sim {

namespace {

const ValueList kNoValues;

// The parser and the database report through dialogs; the simulator has nobody to ask, so
// their messages go to the log and every question is answered No.
class LoggingDialogs final : public Dialogs {
public:
    explicit LoggingDialogs(const LogSink& log) : log_(log) {}
    void showMessage(std::string_view text, std::string_view caption) override {
        if (log_) {
            std::string line = std::string(caption) + ": " + std::string(text);
            std::ranges::replace(line, '\n', ' '); // one log line per message
            log_(line);
        }
    }
    bool confirm(std::string_view, std::string_view, std::string_view, std::string_view) override {
        return false;
    }
    std::optional<Credentials> promptCredentials(std::string_view) override { return std::nullopt; }

private:
    const LogSink& log_;
};

std::optional<std::string> readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string twoDigitId(int productId) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", productId);
    return text;
}

} // namespace

int productCodeForId(int productId) {
    const std::string text = twoDigitId(productId);
    int code = 0;
    std::sscanf(text.c_str(), "%2d", &code);
    return code;
}

ProductModel::ProductModel(std::vector<ParameterRow> rows, std::vector<ValueList> definedValues,
                           std::vector<ValueList> enumerations)
    : rows_(std::move(rows)), definedValues_(std::move(definedValues)),
      enumerations_(std::move(enumerations)) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        // The first row with an address wins, as in the tool's lookup.
        indexByAddress_.emplace(rows_[i].address, static_cast<int>(i));
    }
}

const ValueList& ProductModel::definedValues(int index) const {
    const auto at = static_cast<std::size_t>(index);
    return at < definedValues_.size() ? definedValues_[at] : kNoValues;
}

const ValueList& ProductModel::enumeration(int index) const {
    const auto at = static_cast<std::size_t>(index);
    return at < enumerations_.size() ? enumerations_[at] : kNoValues;
}

int ProductModel::findParameter(std::string_view address) const {
    const auto found = indexByAddress_.find(std::string(address));
    return found == indexByAddress_.end() ? -1 : found->second;
}

std::vector<int> ProductModel::rangeMembers(std::string_view rangeAddress) const {
    std::vector<int> members;
    if (rangeAddress.empty()) {
        return members;
    }
    const std::string_view prefix = rangeAddress.substr(0, rangeAddress.size() - 1);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (std::string_view(rows_[i].address).starts_with(prefix)) {
            members.push_back(static_cast<int>(i));
        }
    }
    return members;
}

ProductCatalog::ProductCatalog(std::string dataDirectory, LogSink log)
    : dataDirectory_(std::move(dataDirectory)), log_(std::move(log)) {}

void ProductCatalog::loadProductNames() {
    if (namesLoaded_) {
        return;
    }
    namesLoaded_ = true;
    const std::string path = dataFilePath(dataDirectory_, "prodid.ini");
    const auto text = readWholeFile(path);
    if (!text) {
        if (log_) {
            log_("cannot read " + path + ": no unit has a description");
        }
        return;
    }
    ProductIdDatabase database(dataDirectory_);
    database.loadText(*text);
    for (const auto& record : database.records()) {
        productNames_.emplace_back(record.id, record.name);
    }
}

std::string ProductCatalog::descriptionPath(int productId, int major, int minor) {
    loadProductNames();
    const std::string id = twoDigitId(productId);
    for (const auto& [recordId, name] : productNames_) {
        if (recordId == id) { // the first record with the id, as the tool's lookup
            return dataFilePath(dataDirectory_, name + "_" + std::to_string(major) + "." +
                                                    std::to_string(minor) + ".dcf");
        }
    }
    return {};
}

std::shared_ptr<const ProductModel> ProductCatalog::modelFor(int productId, int major, int minor) {
    const auto key = std::make_tuple(productId, major, minor);
    if (auto found = models_.find(key); found != models_.end()) {
        return found->second;
    }
    auto model = std::make_shared<const ProductModel>();
    const std::string path = descriptionPath(productId, major, minor);
    if (path.empty()) {
        if (log_) {
            log_("product id " + twoDigitId(productId) + " is not in prodid.ini: no parameters");
        }
    } else {
        // Heap-allocated: the list model holds tables for 700 rows and 100 slots.
        auto cache = std::make_unique<DescriptionCache>();
        auto table = std::make_unique<ParameterTable>();
        ClassFilterEntries classFilter;
        LoggingDialogs dialogs(log_);
        const int result = parseDescription(path, productCodeForId(productId), major, minor,
                                            {*cache, *table, classFilter, dialogs});
        if (result == 1) {
            const DescriptionSlot& slot = cache->current();
            const int count = slot.rowCount();
            std::vector<ParameterRow> rows(slot.rows().begin(), slot.rows().begin() + count);
            std::vector<ValueList> definedValues;
            std::vector<ValueList> enumerations;
            for (int i = 0; i < count; ++i) {
                definedValues.push_back(table->definedValues(i));
                enumerations.push_back(table->enumeration(i));
            }
            model = std::make_shared<const ProductModel>(std::move(rows), std::move(definedValues),
                                                         std::move(enumerations));
            if (log_) {
                log_("parsed " + path + ": " + std::to_string(count) + " parameters");
            }
        } else if (log_) {
            log_("no description parsed from " + path + ": no parameters");
        }
    }
    models_.emplace(key, model);
    return model;
}

} // namespace morvik::sim
