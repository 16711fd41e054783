#include "json/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace morvik::json {

namespace {

const std::string kEmptyString;
const Value::Array kEmptyArray;
const Value::Object kEmptyObject;
constexpr int kMaxDepth = 64;

class Parser {
public:
    Parser(std::string_view text, ParseError* error) : text_(text), error_(error) {}

    std::optional<Value> document() {
        skipSpace();
        auto value = parseValue(0);
        if (!value) {
            return std::nullopt;
        }
        skipSpace();
        if (at_ != text_.size()) {
            return fail("unexpected text after the document");
        }
        return value;
    }

private:
    std::nullopt_t fail(const char* message) {
        if (error_ != nullptr && error_->message.empty()) {
            error_->offset = at_;
            error_->message = message;
        }
        return std::nullopt;
    }

    void skipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }

    bool consume(std::string_view word) {
        if (text_.substr(at_, word.size()) == word) {
            at_ += word.size();
            return true;
        }
        return false;
    }

    std::optional<Value> parseValue(int depth) {
        if (depth > kMaxDepth) {
            return fail("nested too deeply");
        }
        if (at_ >= text_.size()) {
            return fail("unexpected end");
        }
        switch (text_[at_]) {
        case '{':
            return parseObject(depth);
        case '[':
            return parseArray(depth);
        case '"': {
            auto text = parseString();
            if (!text) {
                return std::nullopt;
            }
            return Value(std::move(*text));
        }
        case 't':
            if (consume("true")) {
                return Value(true);
            }
            return fail("bad literal");
        case 'f':
            if (consume("false")) {
                return Value(false);
            }
            return fail("bad literal");
        case 'n':
            if (consume("null")) {
                return Value(nullptr);
            }
            return fail("bad literal");
        default:
            return parseNumber();
        }
    }

    std::optional<Value> parseNumber() {
        const std::size_t start = at_;
        if (at_ < text_.size() && text_[at_] == '-') {
            ++at_;
        }
        auto digits = [&] {
            const std::size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
                ++at_;
            }
            return at_ > from;
        };
        if (!digits()) {
            return fail("bad number");
        }
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            if (!digits()) {
                return fail("bad number");
            }
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) {
                ++at_;
            }
            if (!digits()) {
                return fail("bad number");
            }
        }
        const std::string number(text_.substr(start, at_ - start));
        return Value(std::strtod(number.c_str(), nullptr));
    }

    static void appendUtf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::optional<std::uint32_t> hex4() {
        if (at_ + 4 > text_.size()) {
            return std::nullopt;
        }
        std::uint32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            code <<= 4;
            if (c >= '0' && c <= '9') {
                code |= static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                code |= static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                code |= static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return std::nullopt;
            }
        }
        return code;
    }

    std::optional<std::string> parseString() {
        ++at_; // opening quote
        std::string out;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') {
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                fail("control character in a string");
                return std::nullopt;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) {
                break;
            }
            const char escape = text_[at_++];
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                out += escape;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                auto code = hex4();
                if (!code) {
                    fail("bad \\u escape");
                    return std::nullopt;
                }
                if (*code >= 0xD800 && *code < 0xDC00 && consume("\\u")) {
                    const auto low = hex4();
                    if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                        fail("bad surrogate pair");
                        return std::nullopt;
                    }
                    *code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
                }
                appendUtf8(out, *code);
                break;
            }
            default:
                fail("bad escape");
                return std::nullopt;
            }
        }
        fail("unterminated string");
        return std::nullopt;
    }

    std::optional<Value> parseArray(int depth) {
        ++at_;
        Value::Array items;
        skipSpace();
        if (consume("]")) {
            return Value(std::move(items));
        }
        for (;;) {
            skipSpace();
            auto item = parseValue(depth + 1);
            if (!item) {
                return std::nullopt;
            }
            items.push_back(std::move(*item));
            skipSpace();
            if (consume("]")) {
                return Value(std::move(items));
            }
            if (!consume(",")) {
                return fail("expected , or ]");
            }
        }
    }

    std::optional<Value> parseObject(int depth) {
        ++at_;
        Value::Object members;
        skipSpace();
        if (consume("}")) {
            return Value(std::move(members));
        }
        for (;;) {
            skipSpace();
            if (at_ >= text_.size() || text_[at_] != '"') {
                return fail("expected a member name");
            }
            auto key = parseString();
            if (!key) {
                return std::nullopt;
            }
            skipSpace();
            if (!consume(":")) {
                return fail("expected :");
            }
            skipSpace();
            auto value = parseValue(depth + 1);
            if (!value) {
                return std::nullopt;
            }
            members.emplace_back(std::move(*key), std::move(*value));
            skipSpace();
            if (consume("}")) {
                return Value(std::move(members));
            }
            if (!consume(",")) {
                return fail("expected , or }");
            }
        }
    }

    std::string_view text_;
    ParseError* error_;
    std::size_t at_ = 0;
};

void newline(std::string& out, bool pretty, int depth) {
    if (pretty) {
        out += '\n';
        out.append(static_cast<std::size_t>(depth) * 2, ' ');
    }
}

} // namespace

bool Value::asBool(bool fallback) const {
    return isBool() ? std::get<bool>(data_) : fallback;
}

double Value::asNumber(double fallback) const {
    return isNumber() ? std::get<double>(data_) : fallback;
}

std::int64_t Value::asInteger(std::int64_t fallback) const {
    if (!isNumber()) {
        return fallback;
    }
    const double number = std::get<double>(data_);
    if (!std::isfinite(number) || number < -9.2e18 || number > 9.2e18) {
        return fallback;
    }
    return static_cast<std::int64_t>(number);
}

const std::string& Value::asString() const {
    return isString() ? std::get<std::string>(data_) : kEmptyString;
}

const Value::Array& Value::asArray() const {
    return isArray() ? std::get<Array>(data_) : kEmptyArray;
}

const Value::Object& Value::asObject() const {
    return isObject() ? std::get<Object>(data_) : kEmptyObject;
}

const Value* Value::find(std::string_view key) const {
    for (const auto& [name, value] : asObject()) {
        if (name == key) {
            return &value;
        }
    }
    return nullptr;
}

Value& Value::set(std::string key, Value value) {
    if (!isObject()) {
        data_ = Object{};
    }
    auto& members = std::get<Object>(data_);
    members.emplace_back(std::move(key), std::move(value));
    return members.back().second;
}

Value& Value::push(Value value) {
    if (!isArray()) {
        data_ = Array{};
    }
    auto& items = std::get<Array>(data_);
    items.push_back(std::move(value));
    return items.back();
}

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

void Value::write(std::string& out, bool pretty, int depth) const {
    if (isNull()) {
        out += "null";
    } else if (isBool()) {
        out += std::get<bool>(data_) ? "true" : "false";
    } else if (isNumber()) {
        const double number = std::get<double>(data_);
        char text[32];
        if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 1e15) {
            std::snprintf(text, sizeof text, "%.0f", number);
        } else if (std::isfinite(number)) {
            std::snprintf(text, sizeof text, "%.17g", number);
        } else {
            std::snprintf(text, sizeof text, "null");
        }
        out += text;
    } else if (isString()) {
        out += quote(std::get<std::string>(data_));
    } else if (isArray()) {
        const auto& items = std::get<Array>(data_);
        out += '[';
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (i > 0) {
                out += ',';
            }
            newline(out, pretty, depth + 1);
            items[i].write(out, pretty, depth + 1);
        }
        if (!items.empty()) {
            newline(out, pretty, depth);
        }
        out += ']';
    } else {
        const auto& members = std::get<Object>(data_);
        out += '{';
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (i > 0) {
                out += ',';
            }
            newline(out, pretty, depth + 1);
            out += quote(members[i].first);
            out += pretty ? ": " : ":";
            members[i].second.write(out, pretty, depth + 1);
        }
        if (!members.empty()) {
            newline(out, pretty, depth);
        }
        out += '}';
    }
}

std::string Value::serialize(bool pretty) const {
    std::string out;
    write(out, pretty, 0);
    return out;
}

std::optional<Value> parse(std::string_view text, ParseError* error) {
    return Parser(text, error).document();
}

} // namespace morvik::json
