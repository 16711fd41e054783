#include "cli/LoginFile.h"

#include "description/LoginParameters.h"
#include "stores/CredentialLog.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace morvik::cli {

namespace {

constexpr std::size_t kMaxLoginFileBytes = 4096;

// Closes the descriptor it opened (never standard input).
class OpenedFile {
public:
    explicit OpenedFile(int fd, bool owned) : fd_(fd), owned_(owned) {}
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    ~OpenedFile() {
        if (owned_ && fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

private:
    int fd_;
    bool owned_;
};

std::string modeText(mode_t mode) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%04o", static_cast<unsigned>(mode & 07777));
    return text.data();
}

// Why the opened file may not carry a login; empty when it may.
std::string whyNotPrivate(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return std::strerror(errno);
    }
    if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) {
        return {}; // a pipe: only its two ends see what passes
    }
    if (!S_ISREG(status.st_mode)) {
        return "it is neither a regular file nor a pipe";
    }
    if (status.st_uid != ::geteuid()) {
        return "it belongs to another user";
    }
    if ((status.st_mode & 077) != 0) {
        return "other users may read or change it (mode " + modeText(status.st_mode) +
               "): chmod 600 it";
    }
    return {};
}

std::variant<std::string, std::string> readBounded(int fd) {
    std::string content;
    std::array<char, 1024> buffer{};
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::variant<std::string, std::string>(std::in_place_index<1>,
                                                          std::strerror(errno));
        }
        if (got == 0) {
            return std::variant<std::string, std::string>(std::in_place_index<0>, content);
        }
        content.append(buffer.data(), static_cast<std::size_t>(got));
        if (content.size() > kMaxLoginFileBytes) {
            return std::variant<std::string, std::string>(
                std::in_place_index<1>,
                "it is longer than " + std::to_string(kMaxLoginFileBytes) + " bytes");
        }
    }
}

std::variant<LoginFileContent, std::string> parse(const std::string& text) {
    std::map<std::string, std::string> values;
    std::size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto equals = line.find('=');
        const std::string key = line.substr(0, equals);
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (equals == std::string::npos || (key != "id" && key != "password" && key != "new-id" &&
                                            key != "new-password" && !isLoginAddress(key))) {
            return where + "not KEY=TEXT with a KEY of id, password, new-id, new-password or "
                           "a login parameter's address (2.n.1, 2.n.2)";
        }
        if (!values.emplace(key, line.substr(equals + 1)).second) {
            return where + key + " is given twice";
        }
    }
    LoginFileContent content;
    const auto id = values.find("id");
    const auto password = values.find("password");
    if ((id == values.end()) != (password == values.end())) {
        return std::string("id and password go together");
    }
    if (id != values.end()) {
        if (id->second.size() > CredentialLog::kMaxTokenLength ||
            password->second.size() > CredentialLog::kMaxTokenLength) {
            return "id and password take at most " +
                   std::to_string(CredentialLog::kMaxTokenLength) +
                   " characters each: the credential log keeps no more";
        }
        content.login = Credentials{id->second, password->second};
    }
    if (const auto found = values.find("new-id"); found != values.end()) {
        content.newLoginId = found->second;
    }
    if (const auto found = values.find("new-password"); found != values.end()) {
        content.newPassword = found->second;
    }
    for (const auto& [key, text] : values) {
        if (isLoginAddress(key)) {
            content.loginValues.push_back({key, text});
        }
    }
    if (!content.login && !content.newLoginId && !content.newPassword &&
        content.loginValues.empty()) {
        return std::string("it holds no login");
    }
    return content;
}

} // namespace

std::variant<LoginFileContent, std::string> readLoginFile(const std::string& path) {
    const bool standardInput = path == "-";
    if (standardInput && ::isatty(STDIN_FILENO) == 1) {
        return std::string("standard input is a terminal: without --login-file the prompt "
                           "asks there");
    }
    // Not blocking on a named pipe nobody writes to: it then reads as empty.
    const OpenedFile file(standardInput ? STDIN_FILENO
                                        : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK),
                          !standardInput);
    if (file.get() < 0) {
        return std::string(std::strerror(errno));
    }
    if (std::string why = whyNotPrivate(file.get()); !why.empty()) {
        return why;
    }
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (!standardInput && flags >= 0) {
        ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK);
    }
    auto text = readBounded(file.get());
    if (text.index() == 1) {
        return std::get<1>(std::move(text));
    }
    return parse(std::get<0>(text));
}

std::optional<std::string> applyLoginFile(CliOptions& options) {
    if (!options.loginFile) {
        return std::nullopt;
    }
    auto read = readLoginFile(*options.loginFile);
    if (const auto* why = std::get_if<std::string>(&read)) {
        return "--login-file " + *options.loginFile + ": " + *why;
    }
    LoginFileContent& content = std::get<LoginFileContent>(read);
    options.credentials = std::move(content.login);
    const bool newLogin = content.newLoginId || content.newPassword || !content.loginValues.empty();
    if (newLogin && options.command != CommandKind::Set) {
        return "--login-file " + *options.loginFile + ": a new login belongs to the set command";
    }
    options.newLoginId = std::move(content.newLoginId);
    options.newLoginPassword = std::move(content.newPassword);
    options.assignments.insert(options.assignments.end(), content.loginValues.begin(),
                               content.loginValues.end());
    if (options.command == CommandKind::Set && options.assignments.empty() && !newLogin) {
        return std::string("set needs at least one ADDRESS=TEXT");
    }
    return std::nullopt;
}

} // namespace morvik::cli
