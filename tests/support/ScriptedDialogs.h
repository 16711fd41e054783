#pragma once

#include "parameters/Dialogs.h"

#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace morvik::testing {

// Dialogs answered from a script: every message is recorded, confirmations and password
// prompts take their answers from queues (an empty queue answers No / Cancel).
class ScriptedDialogs : public Dialogs {
public:
    struct Message {
        std::string text;
        std::string caption;
        friend bool operator==(const Message&, const Message&) = default;
        friend std::ostream& operator<<(std::ostream& out, const Message& message) {
            return out << message.caption << ": \"" << message.text << "\"";
        }
    };
    struct Confirmation {
        std::string caption, line1, line2, line3;
    };

    void showMessage(std::string_view text, std::string_view caption) override {
        messages.push_back({std::string(text), std::string(caption)});
        if (onMessage) {
            onMessage(messages.back());
        }
    }
    bool confirm(std::string_view caption, std::string_view line1, std::string_view line2,
                 std::string_view line3) override {
        confirmations.push_back(
            {std::string(caption), std::string(line1), std::string(line2), std::string(line3)});
        if (onConfirm) {
            onConfirm(confirmations.back());
        }
        if (answerConfirm) {
            return answerConfirm(confirmations.back());
        }
        if (confirmAnswers.empty()) {
            return false;
        }
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    std::optional<Credentials> promptCredentials(std::string_view label) override {
        promptLabels.emplace_back(label);
        if (onPrompt) {
            onPrompt(promptLabels.back());
        }
        if (promptAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = promptAnswers.front();
        promptAnswers.pop_front();
        return answer;
    }

    std::vector<Message> messages;
    std::vector<Confirmation> confirmations;
    std::vector<std::string> promptLabels;
    std::deque<bool> confirmAnswers;
    std::deque<std::optional<Credentials>> promptAnswers;
    // Called while the "dialog" is open: lets a test deliver replies re-entrantly.
    std::function<void(const Message&)> onMessage;
    std::function<void(const Confirmation&)> onConfirm;
    // When set, answers every confirmation instead of the queue.
    std::function<bool(const Confirmation&)> answerConfirm;
    std::function<void(const std::string&)> onPrompt;
};

} // namespace morvik::testing
