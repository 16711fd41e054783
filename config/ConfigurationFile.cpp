#include "config/ConfigurationFile.h"

#include "config/ValueTokens.h"
#include "text/TokenReader.h"

namespace morvik {

namespace {

// "[n]\t value": a line whose number or value cannot be read ends the values. The value is
// read once the whole file tells how its tokens are written.
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
    line.empty = *token == kEmptyValueToken;
    return line;
}

} // namespace

std::string formatConfiguration(const ConfigurationHeader& header,
                                const std::vector<std::string>& valueTexts) {
    std::string text = std::to_string(header.unitCount) + " \t " + header.productId + " \t " +
                       header.version + " \n";
    for (std::size_t line = 0; line < valueTexts.size(); ++line) {
        text += "[" + std::to_string(line) + "]\t " + escapedToken(valueTexts[line]) + "\n";
    }
    text += std::string(kEscapedTokensMarker) + "\n";
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
        const std::size_t lineStart = reader.position();
        auto line = readLine(reader, text.size());
        if (!line) {
            reader.moveTo(lineStart);
            content.escaped = reader.next(text.size()) == kEscapedTokensMarker;
            break;
        }
        content.lines.push_back(std::move(*line));
    }
    for (ConfigurationLine& line : content.lines) {
        line.value =
            content.escaped ? valueOfEscapedToken(line.token) : valueOfLegacyToken(line.token);
    }
    return content;
}

} // namespace morvik
