#include "config/ConfigurationFile.h"

#include "stores/IniDatabaseFile.h"

namespace morvik {

namespace {

constexpr std::string_view kEmptyValue = "<none>";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string blanksFromUnderscores(std::string_view token) {
    std::string value(token);
    for (char& c : value) {
        if (c == '_') {
            c = ' ';
        }
    }
    return value;
}

// "[n]\t value": a line whose number or value cannot be read ends the values.
std::optional<ConfigurationLine> readLine(TokenReader& reader, std::size_t wholeText) {
    if (!reader.word("[")) {
        return std::nullopt;
    }
    const auto number = reader.integer();
    if (!number || !reader.literal("]")) {
        return std::nullopt;
    }
    const auto token = reader.next(wholeText);
    if (!token) {
        return std::nullopt;
    }
    ConfigurationLine line;
    line.lineNumber = *number;
    line.token = std::string(*token);
    if (*token == kEmptyValue) {
        line.empty = true;
    } else {
        line.value = blanksFromUnderscores(*token);
    }
    return line;
}

} // namespace

// A value is one token in the file. Any white space, not only a blank, would split it and end
// the reading of the file there, so every kind is written as "_" (and comes back as a blank).
std::string configurationToken(std::string_view value) {
    if (value.empty()) {
        return std::string(kEmptyValue);
    }
    std::string token(value);
    for (char& c : token) {
        if (isSpace(c)) {
            c = '_';
        }
    }
    return token;
}

std::string formatConfiguration(const ConfigurationHeader& header,
                                const std::vector<std::string>& valueTexts) {
    std::string text = std::to_string(header.unitCount) + " \t " + header.productId + " \t " +
                       header.version + " \n";
    for (std::size_t line = 0; line < valueTexts.size(); ++line) {
        text += "[" + std::to_string(line) + "]\t " + configurationToken(valueTexts[line]) + "\n";
    }
    return text;
}

ConfigurationContent parseConfiguration(std::string_view text) {
    ConfigurationContent content;
    TokenReader reader(text, kMaxConfigurationHeaderToken);
    const auto unitCount = reader.integer();
    if (!unitCount) {
        return content;
    }
    const auto productId = reader.next();
    if (!productId) {
        return content;
    }
    const auto version = reader.next();
    if (!version) {
        return content;
    }
    content.header =
        ConfigurationHeader{*unitCount, std::string(*productId), std::string(*version)};
    while (!reader.atEnd()) {
        auto line = readLine(reader, text.size());
        if (!line) {
            break;
        }
        content.lines.push_back(std::move(*line));
    }
    return content;
}

} // namespace morvik
