#include "cli/Terminal.h"

#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace morvik::cli {

namespace {

// Switches echo off for its lifetime and back on afterwards, even on an early return.
class EchoOff {
public:
    EchoOff() {
        if (tcgetattr(STDIN_FILENO, &saved_) == 0) {
            termios quiet = saved_;
            quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
            active_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    ~EchoOff() {
        if (active_) {
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
            std::cerr << '\n';
        }
    }

private:
    termios saved_{};
    bool active_ = false;
};

} // namespace

bool standardInputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

std::optional<std::string> askLine(std::string_view prompt, bool hidden) {
    std::cerr << prompt << std::flush;
    std::string line;
    bool got = false;
    if (hidden) {
        const EchoOff echoOff;
        got = static_cast<bool>(std::getline(std::cin, line));
    } else {
        got = static_cast<bool>(std::getline(std::cin, line));
    }
    if (!got) {
        return std::nullopt;
    }
    return line;
}

bool askYesNo(std::string_view question) {
    const auto answer = askLine(std::string(question) + " [y/N] ", false);
    return answer && !answer->empty() && (answer->front() == 'y' || answer->front() == 'Y');
}

} // namespace morvik::cli
