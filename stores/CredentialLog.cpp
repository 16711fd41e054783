#include "stores/CredentialLog.h"

#include "protocol/MacAddress.h"
#include "text/TokenReader.h"
#include "text/WhiteSpace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <unordered_map>

namespace morvik {

namespace {

// A token holds no blank, so a blank inside an identifier or a password is written as this.
constexpr std::string_view kBlankMark = "-/space/-";
// An identifier or password of kMaxTokenLength blanks takes this many characters in the file.
constexpr std::size_t kMaxEncodedLength = CredentialLog::kMaxTokenLength * kBlankMark.size();

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
        if (c != ' ' && isWhiteSpace(c)) {
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
        if (isWhiteSpace(c)) {
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

bool writableEntry(const CredentialLog::Entry& entry) {
    return writableMac(entry.mac) && writableCredential(entry.loginId) &&
           writableCredential(entry.password);
}

std::string fileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A file behind a link is written only when it is a credential log already: records and
// nothing else, or an empty "pwd.ini". Anything else is somebody's other file.
bool isCredentialLogText(const CredentialLog& parsed, const std::string& content,
                         const std::string& path) {
    if (parsed.unreadableParts() > 0 || parsed.recordsBeyondTable() > 0) {
        return false;
    }
    if (parsed.count() > 0) {
        return true;
    }
    const bool blank =
        std::all_of(content.begin(), content.end(), [](char c) { return isWhiteSpace(c); });
    return blank && fileNameOf(path) == "pwd.ini";
}

std::string joinedMacs(const std::vector<std::string>& macs) {
    std::string text;
    for (const std::string& mac : macs) {
        text += (text.empty() ? "" : ", ") + mac;
    }
    return text;
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

bool CredentialLog::loadWithoutCreating() {
    const auto content = file_.readAll();
    const bool missing = !content && errno == ENOENT;
    loadText(content.value_or(std::string()));
    return content || missing;
}

void CredentialLog::loadText(std::string_view text) {
    entries_.clear();
    count_ = 0;
    unreadableParts_ = 0;
    recordsBeyondTable_ = 0;
    TokenReader reader(text, kMaxTokenLength);
    bool inUnreadablePart = false;
    while (!reader.atEnd()) {
        const std::size_t start = reader.position();
        auto entry = readEntry(reader);
        if (!entry) {
            // One stray line must not cost the records after it: step over one token and
            // look for a record from there.
            if (!inUnreadablePart) {
                ++unreadableParts_;
                inUnreadablePart = true;
            }
            reader.moveTo(start);
            reader.next();
            continue;
        }
        inUnreadablePart = false;
        if (count_ >= kMaxEntries) {
            ++recordsBeyondTable_;
            continue;
        }
        entries_.push_back(std::move(*entry));
        ++count_;
    }
    current_ = count_;
    loaded_.assign(entries_.begin(), entries_.end());
}

int CredentialLog::find(std::string_view mac) const {
    for (int i = 0; i < count_; ++i) {
        if (entryAt(i).mac == mac) {
            return i;
        }
    }
    return -1;
}

bool CredentialLog::select(int index) {
    // The position past the last entry is accepted, but never one outside the table.
    if (index < 0 || (index != 0 && index > count_) || index >= kMaxEntries) {
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

CredentialLog::SaveResult CredentialLog::update(
    const std::function<std::optional<std::string>(CredentialLog& onDisk, SaveResult& result)>&
        change) {
    SaveResult result;
    const auto outcome =
        file_.update(lockWait_, [&](const std::string& current, const std::string& linkTarget) {
            using Action = IniDatabaseFile::Revision::Action;
            CredentialLog onDisk("");
            onDisk.loadText(current);
            if (!linkTarget.empty() && !isCredentialLogText(onDisk, current, linkTarget)) {
                result.status = SaveStatus::LinkRefused;
                return IniDatabaseFile::Revision{Action::Refuse, {}};
            }
            auto text = change(onDisk, result);
            if (!text) {
                return IniDatabaseFile::Revision{Action::Refuse, {}};
            }
            if (*text == current) {
                return IniDatabaseFile::Revision{Action::Keep, {}};
            }
            return IniDatabaseFile::Revision{Action::Replace, std::move(*text)};
        });
    using Status = IniDatabaseFile::UpdateStatus;
    switch (outcome.status) {
    case Status::Replaced:
    case Status::Kept:
        result.status = SaveStatus::Saved;
        break;
    case Status::Refused:
        break; // the reason is set already
    case Status::LockTimeout:
        result.status = SaveStatus::Busy;
        break;
    case Status::LinkRefused:
        result.status = SaveStatus::LinkRefused;
        break;
    case Status::Failed:
        result.status = SaveStatus::NotWritten;
        result.detail = std::strerror(outcome.error);
        break;
    }
    if (result.status == SaveStatus::LinkRefused) {
        result.detail = outcome.target;
    }
    return result;
}

CredentialLog::SaveResult CredentialLog::store() {
    // What this log changed since it was loaded; everything else on disk is left as it is now,
    // which may be newer than what was loaded.
    struct Change {
        std::string loadedMac; // empty for an entry added here
        Entry entry;
    };
    std::vector<Change> changes;
    bool skipped = false;
    for (int i = 0; i < count_; ++i) {
        const Entry& entry = entryAt(i);
        const bool loadedHere = static_cast<std::size_t>(i) < loaded_.size();
        if (loadedHere && loaded_[static_cast<std::size_t>(i)] == entry) {
            continue;
        }
        Entry written{upperCaseMacText(entry.mac), entry.loginId, entry.password};
        if (!writableEntry(written)) {
            skipped = true;
            continue;
        }
        changes.push_back(
            {loadedHere ? loaded_[static_cast<std::size_t>(i)].mac : std::string(), written});
    }

    SaveResult result = update([&](CredentialLog& onDisk, SaveResult& progress) {
        progress.unreadableLeftOut = onDisk.unreadableParts();
        // The first record of each MAC, as found and as written (upper case): a save of many
        // new units looks each up once instead of walking the file for every one.
        std::unordered_map<std::string, int> exact;
        std::unordered_map<std::string, int> upper;
        for (int i = onDisk.count() - 1; i >= 0; --i) {
            exact[onDisk.entryAt(i).mac] = i;
            upper[upperCaseMacText(onDisk.entryAt(i).mac)] = i;
        }
        for (const Change& change : changes) {
            int at = -1;
            if (const auto found = exact.find(change.loadedMac);
                !change.loadedMac.empty() && found != exact.end()) {
                at = found->second;
            } else if (const auto same = upper.find(change.entry.mac); same != upper.end()) {
                at = same->second;
            }
            if (at < 0) {
                if (!onDisk.raiseCount()) {
                    progress.status = SaveStatus::Full;
                    return std::optional<std::string>();
                }
                at = onDisk.count() - 1;
                exact.emplace(change.entry.mac, at);
                upper.emplace(change.entry.mac, at);
            }
            onDisk.filledEntry(at) = change.entry;
        }
        // Records past the table could not be kept in a rewrite.
        if (onDisk.recordsBeyondTable() > 0) {
            progress.status = SaveStatus::Full;
            return std::optional<std::string>();
        }
        bool skippedOnDisk = false;
        std::string text = onDisk.formatText(&skippedOnDisk);
        progress.skippedIncomplete = skippedOnDisk;
        return std::optional<std::string>(std::move(text));
    });
    result.skippedIncomplete = result.skippedIncomplete || skipped;
    if (result.saved()) {
        // Saved changes are not written again by a later save of this log.
        loaded_.assign(
            entries_.begin(),
            entries_.begin() +
                std::min<std::ptrdiff_t>(count_, static_cast<std::ptrdiff_t>(entries_.size())));
    } else {
        result.unreadableLeftOut = 0;
        for (const Change& change : changes) {
            result.notRecorded.push_back(change.entry.mac);
        }
    }
    return result;
}

CredentialLog::SaveResult CredentialLog::clear() {
    SaveResult result = update([](CredentialLog& /*onDisk*/, SaveResult& /*progress*/) {
        return std::optional<std::string>(std::string());
    });
    if (result.status == SaveStatus::NotWritten && truncateInPlace()) {
        // A directory we may not write still lets the file itself be emptied where it stands.
        result.status = SaveStatus::Saved;
        result.detail.clear();
    }
    return result;
}

bool CredentialLog::truncateInPlace() const {
    // Never through a link: the rules for links were applied by the locked update already.
    const int fd = ::open(file_.path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return errno == ENOENT;
    }
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

std::vector<StoreMessage> saveMessages(const CredentialLog::SaveResult& result) {
    using Status = CredentialLog::SaveStatus;
    std::vector<StoreMessage> messages;
    if (result.skippedIncomplete) {
        messages.push_back({"Wrong data type!!", "Error"});
    }
    if (result.status == Status::Saved) {
        if (result.unreadableLeftOut > 0) {
            messages.push_back({"pwd.ini held text that is not a login record (" +
                                    std::to_string(result.unreadableLeftOut) +
                                    " place(s)); it was left out when the file was written "
                                    "again. Every login record was kept.",
                                "Warning"});
        }
        return messages;
    }
    const std::string what =
        result.notRecorded.empty()
            ? std::string("pwd.ini was not changed")
            : "The login of " + joinedMacs(result.notRecorded) + " was not recorded in pwd.ini";
    std::string why;
    switch (result.status) {
    case Status::Full:
        why = "it holds the most logins it can (" + std::to_string(CredentialLog::kMaxEntries) +
              "); remove old ones first.";
        break;
    case Status::Busy:
        why = "another program kept it locked.";
        break;
    case Status::NotWritten:
        why = "it cannot be written (" + result.detail + "); the file is unchanged.";
        break;
    case Status::LinkRefused:
        why = "it is a link to " + result.detail +
              ", which is not a login file of this user; nothing was written to it.";
        break;
    case Status::Saved:
        break;
    }
    messages.push_back({what + ": " + why, "Error"});
    return messages;
}

} // namespace morvik
