#pragma once

#include "stores/IniDatabaseFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace morvik {

class Dialogs;

// "pwd.ini": the login ID and password that last worked for each unit, keyed by its MAC text.
// The file is created readable and writable by its owner only.
class CredentialLog {
public:
    static constexpr int kMaxEntries = 5000;
    static constexpr std::size_t kMaxTokenLength = 75;

    struct Entry {
        std::string mac;
        std::string loginId;
        std::string password;
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    explicit CredentialLog(std::string_view dataDirectory);

    // Reads every record (creating the file, private, when missing); false when it cannot be
    // opened. Afterwards the current index equals the count.
    bool load();
    // Same on text in memory. Reading stops at the first text that is not a whole record; a
    // record cut short there is not stored. Records past kMaxEntries are not read; texts are
    // cut to kMaxTokenLength after their blank marks are turned back into blanks.
    void loadText(std::string_view text);

    int find(std::string_view mac) const; // first entry below the count with exactly this MAC
    bool select(int index, Dialogs& dialogs);
    const Entry& currentEntry() const;
    // Stores the texts into the entry at `index` (or the current one for -1); the count is not
    // changed. Texts are cut to kMaxTokenLength; an index beyond the table is refused.
    void setEntry(std::string mac, std::string loginId, std::string password, int index);
    // Makes the entry at the count part of the file: select(count), count + 1.
    // False when the table is full.
    bool raiseCount();
    int count() const { return count_; }
    int currentIndex() const { return current_; }

    // Writes entries 0..count-1, numbered from 1 in written order. Every complete entry is
    // written; an incomplete one (empty MAC, ID or password, or a text that would not read back
    // the same: white space other than a blank, a blank mark of its own) is skipped and
    // reported once with "Wrong data type!!" / "Error". False when the file cannot be written
    // (the old content stays).
    bool save(Dialogs& dialogs);
    // Empties the file (Clear). Where the file cannot be replaced (a directory we may not
    // write, a full disk) it is emptied where it stands. False when the passwords may still be
    // on disk; true also when there is no file.
    bool clearFile();

    // The file text for entries 0..count-1, and whether one was skipped.
    std::string formatText(bool* skippedIncomplete) const;
    const std::string& path() const { return file_.path(); }

private:
    // Slots are made as they are filled: the log is opened for every reply that echoes
    // credentials, and a table of kMaxEntries empty slots would cost more than the file.
    const Entry& entryAt(int index) const; // an empty entry for a slot never filled
    Entry& filledEntry(int index);         // index below kMaxEntries

    IniDatabaseFile file_;
    std::vector<Entry> entries_; // the entry at the count is outside the file
    int count_ = 0;
    int current_ = 0;
};

} // namespace morvik
