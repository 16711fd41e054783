#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace morvik::json {

// A JSON value: enough for the simulator's fleet files and the command line tool's output.
class Value {
public:
    using Array = std::vector<Value>;
    using Object = std::vector<std::pair<std::string, Value>>; // keeps the written order

    Value() = default; // null
    Value(std::nullptr_t) {}
    Value(bool value) : data_(value) {}
    Value(int value) : data_(static_cast<double>(value)) {}
    Value(std::int64_t value) : data_(static_cast<double>(value)) {}
    Value(double value) : data_(value) {}
    Value(const char* value) : data_(std::string(value)) {}
    Value(std::string value) : data_(std::move(value)) {}
    Value(std::string_view value) : data_(std::string(value)) {}
    Value(Array value) : data_(std::move(value)) {}
    Value(Object value) : data_(std::move(value)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(data_); }
    bool isBool() const { return std::holds_alternative<bool>(data_); }
    bool isNumber() const { return std::holds_alternative<double>(data_); }
    bool isString() const { return std::holds_alternative<std::string>(data_); }
    bool isArray() const { return std::holds_alternative<Array>(data_); }
    bool isObject() const { return std::holds_alternative<Object>(data_); }

    bool asBool(bool fallback = false) const;
    double asNumber(double fallback = 0) const;
    std::int64_t asInteger(std::int64_t fallback = 0) const;
    const std::string& asString() const; // empty text for a non-string
    const Array& asArray() const;        // empty for a non-array
    const Object& asObject() const;      // empty for a non-object

    // Member of an object, or nullptr.
    const Value* find(std::string_view key) const;
    // Appends a member (objects) or an element (arrays); turns null into the right kind.
    Value& set(std::string key, Value value);
    Value& push(Value value);

    std::string serialize(bool pretty = false) const;

private:
    void write(std::string& out, bool pretty, int depth) const;
    std::variant<std::monostate, bool, double, std::string, Array, Object> data_;
};

struct ParseError {
    std::size_t offset = 0;
    std::string message;
};

// Strict JSON (RFC 8259) with a nesting limit; nothing and `error` filled on bad input.
std::optional<Value> parse(std::string_view text, ParseError* error = nullptr);

std::string quote(std::string_view text);

} // namespace morvik::json
