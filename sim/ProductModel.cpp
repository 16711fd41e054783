#include "sim/ProductModel.h"

#include "description/DescriptionParser.h"
#include "stores/IniDatabaseFile.h"
#include "stores/ProductIdDatabase.h"
#include "text/WholeFile.h"

#include <algorithm>
#include <cstdio>

namespace morvik::sim {

namespace {

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

ProductModel::ProductModel(DescriptionSlot description) : description_(std::move(description)) {
    // Rows past the first without an address are no parameters of the unit.
    description_.editRows().resize(static_cast<std::size_t>(description_.rowCount()));
    // The lookup index is built now: units share the model and only read it.
    description_.rowCount();
}

std::vector<int> ProductModel::rangeMembers(std::string_view rangeAddress) const {
    std::vector<int> members;
    if (rangeAddress.empty()) {
        return members;
    }
    const std::string_view prefix = rangeAddress.substr(0, rangeAddress.size() - 1);
    const int count = parameterCount();
    for (int i = 0; i < count; ++i) {
        if (std::string_view(row(i).address).starts_with(prefix)) {
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
        DescriptionCache cache;
        const DescriptionParse parse =
            parseDescription(path, productCodeForId(productId), major, minor, cache);
        if (parse.parsed()) {
            model = std::make_shared<const ProductModel>(cache.current());
            if (log_) {
                log_("parsed " + path + ": " + std::to_string(model->parameterCount()) +
                     " parameters");
            }
        } else if (log_) {
            std::string problem = "Error: " + parse.problem.value_or(std::string());
            std::ranges::replace(problem, '\n', ' '); // one log line per message
            log_(problem);
            log_("no description parsed from " + path + ": no parameters");
        }
    }
    models_.emplace(key, model);
    return model;
}

} // namespace morvik::sim
