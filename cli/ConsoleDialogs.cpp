#include "cli/ConsoleDialogs.h"

#include "cli/Terminal.h"

namespace morvik::cli {

namespace {

constexpr std::string_view kSetConfirm = "Set Confirm";
constexpr std::string_view kRebootConfirm = "Reboot Confirm";
// Line 1 of the "Reboot Confirm" that follows a completed write.
constexpr std::string_view kWriteCompleted = "Parameter values updated !";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::string oneLine(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') {
            line += text[i];
            continue;
        }
        while (!line.empty() && isBlank(line.back())) {
            line.pop_back();
        }
        while (i + 1 < text.size() &&
               (isBlank(text[i + 1]) || text[i + 1] == '\n' || text[i + 1] == '\r')) {
            ++i;
        }
        if (!line.empty() && i + 1 < text.size()) {
            line += ' ';
        }
    }
    return line;
}

ConsoleDialogs::ConsoleDialogs(Settings settings, std::ostream& errors)
    : settings_(std::move(settings)), errors_(errors) {}

void ConsoleDialogs::showMessage(std::string_view text, std::string_view caption) {
    if (caption == "Error" || caption == "Fatal Error") {
        ++errorMessages_;
        problems_.push_back(std::string(caption) + ": " + oneLine(text));
    }
    if (caption == "Done" && settings_.quietDone) {
        return;
    }
    const std::string about = caption == "Done" && !subject_.empty() ? subject_ + ": " : "";
    errors_ << caption << ": " << escapeControlCharacters(about + oneLine(text)) << std::endl;
}

bool ConsoleDialogs::confirm(std::string_view caption, std::string_view line1,
                             std::string_view line2, std::string_view line3) {
    if (caption == kRebootConfirm && line1 == kWriteCompleted) {
        ++rebootOffers_;
        return false;
    }
    if (settings_.yes) {
        return true;
    }
    // A write in several requests asks again for each one; the person answered already.
    if (caption == kSetConfirm && setConfirmedAtTerminal_) {
        return true;
    }
    if (!settings_.interactive) {
        confirmationRefused_ = true;
        return false;
    }
    // The dialog's lines, without the blanks that place them in the window.
    std::string question(caption);
    question += ":";
    for (const std::string_view line : {line1, line2, line3}) {
        std::string text = oneLine(line);
        const auto first = text.find_first_not_of(' ');
        if (first == std::string::npos) {
            continue;
        }
        text = text.substr(first, text.find_last_not_of(' ') - first + 1);
        question += " " + text;
    }
    const bool answer = askYesNo(question);
    if (!answer) {
        confirmationRefused_ = true;
    } else if (caption == kSetConfirm) {
        setConfirmedAtTerminal_ = true;
    }
    return answer;
}

std::optional<Credentials> ConsoleDialogs::promptCredentials(std::string_view label) {
    if (settings_.credentials) {
        return settings_.credentials;
    }
    if (!settings_.interactive) {
        credentialsNeeded_ = true;
        return std::nullopt;
    }
    errors_ << "Enter Device Password: Incorrect password or unknown ID for the device :"
            << (label.empty() ? "" : " ") << escapeControlCharacters(label) << std::endl;
    const auto loginId = askLine("Connect As: ", false);
    if (!loginId) {
        credentialsNeeded_ = true;
        return std::nullopt;
    }
    const auto password = askLine("Password: ", true);
    if (!password) {
        credentialsNeeded_ = true;
        return std::nullopt;
    }
    return Credentials{*loginId, *password};
}

void ConsoleDialogs::note(std::string_view text) {
    problems_.emplace_back(text);
    errors_ << "morvik-cli: " << escapeControlCharacters(text) << std::endl;
}

} // namespace morvik::cli
