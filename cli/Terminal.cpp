#include "cli/Terminal.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace morvik::cli {

namespace {

void appendEscape(std::string& text, unsigned code) {
    switch (code) {
    case '\n':
        text += "\\n";
        return;
    case '\r':
        text += "\\r";
        return;
    case '\t':
        text += "\\t";
        return;
    default:
        break;
    }
    std::array<char, 8> hex{};
    std::snprintf(hex.data(), hex.size(), "\\x%02x", code);
    text += hex.data();
}

// The length of the well-formed UTF-8 sequence at the start of `text` and its code point, or 0.
std::size_t utf8Sequence(std::string_view text, unsigned& codePoint) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    unsigned minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0u) != 0x80u) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

// The terminal as it was before echo went off, for a signal that ends the process meanwhile.
termios savedTerminal{};
volatile std::sig_atomic_t echoIsOff = 0;
constexpr std::array<int, 4> kEndingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void restoreTerminalAndEnd(int signal) {
    if (echoIsOff != 0) {
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    }
    // The signal's own effect, now that the terminal echoes again.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Switches echo off for its lifetime and back on afterwards, even on an early return, and
// when Ctrl-C (or another signal that ends the process) comes while it is off.
class EchoOff {
public:
    EchoOff() {
        if (tcgetattr(STDIN_FILENO, &saved_) != 0) {
            return;
        }
        savedTerminal = saved_;
        struct sigaction restoring {};
        restoring.sa_handler = restoreTerminalAndEnd;
        sigemptyset(&restoring.sa_mask);
        for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
            sigaction(kEndingSignals[i], &restoring, &previous_[i]);
        }
        handlersSet_ = true;
        echoIsOff = 1;
        termios quiet = saved_;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        active_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    ~EchoOff() {
        if (active_) {
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
            std::cerr << '\n';
        }
        echoIsOff = 0;
        for (std::size_t i = 0; handlersSet_ && i < kEndingSignals.size(); ++i) {
            sigaction(kEndingSignals[i], &previous_[i], nullptr);
        }
    }

private:
    termios saved_{};
    std::array<struct sigaction, kEndingSignals.size()> previous_{};
    bool handlersSet_ = false;
    bool active_ = false;
};

} // namespace

std::string escapeControlCharacters(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            appendEscape(shown, byte);
            ++i;
            continue;
        }
        if (byte < 0x80) {
            shown += text[i];
            ++i;
            continue;
        }
        unsigned codePoint = 0;
        const std::size_t length = utf8Sequence(text.substr(i), codePoint);
        if (length == 0) {
            // A byte of its own: Latin-1, whose 0x80..0x9F are control characters.
            if (byte <= 0x9F) {
                appendEscape(shown, byte);
            } else {
                shown += text[i];
            }
            ++i;
            continue;
        }
        if (codePoint <= 0x9F) {
            appendEscape(shown, codePoint);
        } else {
            shown.append(text.substr(i, length));
        }
        i += length;
    }
    return shown;
}

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
