#pragma once

#include "description/DeviceDescription.h"
#include "description/ValueList.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace morvik::sim {

using LogSink = std::function<void(std::string_view line)>;

// What a unit knows about its own parameters: its product's description, the same the tool
// parses, with each row's defined values and enumeration, looked up by address.
class ProductModel {
public:
    ProductModel() = default; // a product without a description: no parameters
    explicit ProductModel(DescriptionSlot description);

    int parameterCount() const { return description_.rowCount(); }
    const ParameterRow& row(int index) const { return *description_.row(index); }
    const ValueList& definedValues(int index) const { return description_.definedValues(index); }
    const ValueList& enumeration(int index) const { return description_.enumeration(index); }

    // Index of the parameter with exactly this address, or -1.
    int findParameter(std::string_view address) const {
        return description_.findParameter(address);
    }
    // Parameters covered by a range address ("0", or ending in ".0"): every address that
    // begins with the range address less its last character, in table order.
    std::vector<int> rangeMembers(std::string_view rangeAddress) const;

private:
    DescriptionSlot description_;
};

// Finds and parses a product's description the way the tool does: the product name from
// "prodid.ini" by the id formatted "%02d", then "<name>_<major>.<minor>.dcf", both in the data
// directory. Each description is parsed once. Reading never creates or changes a file.
class ProductCatalog {
public:
    ProductCatalog(std::string dataDirectory, LogSink log);

    // The product's model; an empty one (logged) when the product or its description is
    // missing, so that such a unit still answers probes and keeps its login.
    std::shared_ptr<const ProductModel> modelFor(int productId, int major, int minor);

    // The description file's path, or empty when "prodid.ini" does not know the product.
    std::string descriptionPath(int productId, int major, int minor);

private:
    void loadProductNames();

    std::string dataDirectory_;
    LogSink log_;
    bool namesLoaded_ = false;
    std::vector<std::pair<std::string, std::string>> productNames_; // (id text, name)
    std::map<std::tuple<int, int, int>, std::shared_ptr<const ProductModel>> models_;
};

// The two leading decimal digits of the id formatted "%02d": what the tool calls productCode.
int productCodeForId(int productId);

} // namespace morvik::sim
