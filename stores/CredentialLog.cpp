#include "stores/CredentialLog.h"

#include "parameters/Dialogs.h"
#include "protocol/MacAddress.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace morvik {

namespace {

// A token holds no blank, so a blank inside an identifier or a password is written as this.
constexpr std::string_view kBlankMark = "-/space/-";
// An identifier or password of kMaxTokenLength blanks takes this many characters in the file.
constexpr std::size_t kMaxEncodedLength = CredentialLog::kMaxTokenLength * kBlankMark.size();

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string cut(std::string_view text) {
    return std::string(text.substr(0, CredentialLog::kMaxTokenLength));
}

std::string decodeBlanks(std::string_view token) {
    std::string text;
    text.reserve(token.size());
    while (!token.empty()) {
        if (token.starts_with(kBlankMark)) {
            text += ' ';
            token.remove_prefix(kBlankMark.size());
        } else {
            text += token.front();
            token.remove_prefix(1);
        }
    }
    return text;
}

std::string encodeBlanks(std::string_view text) {
    std::string token;
    token.reserve(text.size());
    for (const char c : text) {
        if (c == ' ') {
            token += kBlankMark;
        } else {
            token += c;
        }
    }
    return token;
}

// Whether the text comes back unchanged from the file. Other white space than a blank would
// split the token and end the reading of the whole log there.
bool writableCredential(std::string_view text) {
    if (text.empty() || text.size() > CredentialLog::kMaxTokenLength) {
        return false;
    }
    for (const char c : text) {
        if (c != ' ' && isSpace(c)) {
            return false;
        }
    }
    return decodeBlanks(encodeBlanks(text)) == text;
}

bool writableMac(std::string_view mac) {
    if (mac.empty() || mac.size() > CredentialLog::kMaxTokenLength) {
        return false;
    }
    for (const char c : mac) {
        if (isSpace(c)) {
            return false;
        }
    }
    return true;
}

// One record as written with "\n[%d]\nMAC : %s \nID : %s \nPassword : %s \n". A record that
// does not read through to its password is not stored.
std::optional<CredentialLog::Entry> readEntry(TokenReader& reader) {
    if (!reader.word("[") || !reader.integer() || !reader.literal("]")) {
        return std::nullopt;
    }
    if (!reader.word("MAC") || !reader.word(":")) {
        return std::nullopt;
    }
    const auto mac = reader.next(CredentialLog::kMaxTokenLength);
    if (!mac || !reader.word("ID") || !reader.word(":")) {
        return std::nullopt;
    }
    const auto loginId = reader.next(kMaxEncodedLength);
    if (!loginId || !reader.word("Password") || !reader.word(":")) {
        return std::nullopt;
    }
    const auto password = reader.next(kMaxEncodedLength);
    if (!password) {
        return std::nullopt;
    }
    // The limit holds for the texts themselves, not for their written form.
    return CredentialLog::Entry{std::string(*mac), cut(decodeBlanks(*loginId)),
                                cut(decodeBlanks(*password))};
}

} // namespace

CredentialLog::CredentialLog(std::string_view dataDirectory) : file_(0600) {
    file_.setPath(dataFilePath(dataDirectory, "pwd.ini"));
}

const CredentialLog::Entry& CredentialLog::entryAt(int index) const {
    static const Entry none;
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) {
        return none;
    }
    return entries_[static_cast<std::size_t>(index)];
}

CredentialLog::Entry& CredentialLog::filledEntry(int index) {
    const auto slot = static_cast<std::size_t>(index);
    if (entries_.size() <= slot) {
        entries_.resize(slot + 1);
    }
    return entries_[slot];
}

bool CredentialLog::load() {
    entries_.clear();
    count_ = 0;
    current_ = 0;
    const auto content = file_.readCreatingIfMissing();
    if (!content) {
        return false;
    }
    loadText(*content);
    return true;
}

void CredentialLog::loadText(std::string_view text) {
    entries_.clear();
    count_ = 0;
    TokenReader reader(text, kMaxTokenLength);
    // Records past the table's size are not read.
    while (count_ < kMaxEntries && !reader.atEnd()) {
        auto entry = readEntry(reader);
        if (!entry) {
            break;
        }
        entries_.push_back(std::move(*entry));
        ++count_;
    }
    current_ = count_;
}

int CredentialLog::find(std::string_view mac) const {
    for (int i = 0; i < count_; ++i) {
        if (entryAt(i).mac == mac) {
            return i;
        }
    }
    return -1;
}

bool CredentialLog::select(int index, Dialogs& dialogs) {
    // The position past the last entry is accepted, but never one outside the table.
    if (index < 0 || (index != 0 && index > count_) || index >= kMaxEntries) {
        dialogs.showMessage("Out of range of the database !", "Fatal Error");
        return false;
    }
    current_ = index;
    return true;
}

const CredentialLog::Entry& CredentialLog::currentEntry() const {
    return entryAt(current_);
}

void CredentialLog::setEntry(std::string mac, std::string loginId, std::string password,
                             int index) {
    if (index != -1) {
        if (index < 0 || index >= kMaxEntries) {
            return;
        }
        current_ = index;
    }
    if (current_ < 0 || current_ >= kMaxEntries) {
        return;
    }
    Entry& entry = filledEntry(current_);
    entry.mac = cut(mac);
    entry.loginId = cut(loginId);
    entry.password = cut(password);
}

bool CredentialLog::raiseCount() {
    if (count_ >= kMaxEntries) {
        return false;
    }
    current_ = count_;
    ++count_;
    return true;
}

std::string CredentialLog::formatText(bool* skippedIncomplete) const {
    std::string text;
    bool skipped = false;
    int number = 0;
    for (int i = 0; i < count_; ++i) {
        const Entry& entry = entryAt(i);
        const std::string mac = upperCaseMacText(entry.mac);
        // An entry that cannot be written whole is left out; the ones after it still are
        // written, so one bad entry never costs the others.
        if (!writableMac(mac) || !writableCredential(entry.loginId) ||
            !writableCredential(entry.password)) {
            skipped = true;
            continue;
        }
        ++number;
        text += "\n[" + std::to_string(number) + "]\nMAC : " + mac +
                " \nID : " + encodeBlanks(entry.loginId) +
                " \nPassword : " + encodeBlanks(entry.password) + " \n";
    }
    if (skippedIncomplete != nullptr) {
        *skippedIncomplete = skipped;
    }
    return text;
}

bool CredentialLog::save(Dialogs& dialogs) {
    bool skipped = false;
    const std::string text = formatText(&skipped);
    const bool written = file_.replaceContent(text);
    if (skipped) {
        dialogs.showMessage("Wrong data type!!", "Error");
    }
    return written;
}

bool CredentialLog::clearFile() {
    if (file_.replaceContent(std::string_view())) {
        return true;
    }
    const int fd = ::open(file_.path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT;
    }
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

} // namespace morvik
