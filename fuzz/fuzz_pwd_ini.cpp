// "pwd.ini" as anyone may have edited it: the reader stays within its tables, and what it read
// is written so that reading it again gives the same entries (MAC texts in upper case).
#include "stores/CredentialLog.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::vector<morvik::CredentialLog::Entry> entriesOf(morvik::CredentialLog& log) {
    std::vector<morvik::CredentialLog::Entry> entries;
    for (int i = 0; i < log.count(); ++i) {
        require(log.select(i)); // an entry that was read is always in range
        entries.push_back(log.currentEntry());
    }
    return entries;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static morvik::CredentialLog log("");
    static morvik::CredentialLog reread("");

    log.loadText(text);
    require(log.count() <= morvik::CredentialLog::kMaxEntries);
    require(log.currentIndex() == log.count());
    auto entries = entriesOf(log);
    for (auto& entry : entries) {
        require(!entry.mac.empty() && entry.mac.size() <= morvik::CredentialLog::kMaxTokenLength);
        require(!entry.loginId.empty() &&
                entry.loginId.size() <= morvik::CredentialLog::kMaxTokenLength);
        require(!entry.password.empty() &&
                entry.password.size() <= morvik::CredentialLog::kMaxTokenLength);
        for (const char c : entry.mac) {
            require(!isSpace(c));
        }
        for (char& c : entry.mac) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
    }

    bool skipped = true;
    const std::string written = log.formatText(&skipped);
    require(!skipped); // everything read can be written back
    reread.loadText(written);
    require(entriesOf(reread) == entries);
    require(reread.formatText(nullptr) == written);
    return 0;
}
