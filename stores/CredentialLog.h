#pragma once

#include "stores/IniDatabaseFile.h"
#include "stores/StoreMessage.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

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

    // How a save went. The file is shared by every program of the user (the desktop program,
    // scripts, several morvik-cli runs at once), so a save writes what is on disk now with
    // this log's changes applied, never an older picture of the file.
    enum class SaveStatus {
        Saved,       // the file holds the changes (or held them already)
        Full,        // the changes would take the file past kMaxEntries: nothing written
        Busy,        // another program kept the file locked for longer than the lock wait
        NotWritten,  // the system refused (read-only directory, full disk, size limit, ...)
        LinkRefused, // pwd.ini links to a file that is not a credential log of this user
    };
    struct SaveResult {
        SaveStatus status = SaveStatus::Saved;
        bool skippedIncomplete = false; // an entry that cannot be written was left out
        int unreadableLeftOut = 0;      // parts of the file that were no record, not written back
        std::vector<std::string> notRecorded; // MACs whose change did not reach the file
        std::string detail;                   // the system's reason, or the link's target
        bool saved() const { return status == SaveStatus::Saved; }
    };

    explicit CredentialLog(std::string_view dataDirectory);

    // Reads every record (creating the file, private, when missing); false when it cannot be
    // opened. Afterwards the current index equals the count.
    bool load();
    // The same without making a missing file: an empty log then, and true.
    bool loadWithoutCreating();
    // Same on text in memory. Text that is not a whole record is skipped (and counted): the
    // records after it are still read. Records past kMaxEntries are not read (and counted);
    // texts are cut to kMaxTokenLength after their blank marks are turned back into blanks.
    void loadText(std::string_view text);
    // What the last load could not take: parts that are not records, records past the table.
    int unreadableParts() const { return unreadableParts_; }
    int recordsBeyondTable() const { return recordsBeyondTable_; }

    int find(std::string_view mac) const; // first entry below the count with exactly this MAC
    // Makes `index` the current entry; false (outOfRangeMessage) outside the table.
    bool select(int index);
    const Entry& currentEntry() const;
    // Stores the texts into the entry at `index` (or the current one for -1); the count is not
    // changed. Texts are cut to kMaxTokenLength; an index beyond the table is refused.
    void setEntry(std::string mac, std::string loginId, std::string password, int index);
    // Makes the entry at the count part of the file: select(count), count + 1.
    // False when the table is full.
    bool raiseCount();
    int count() const { return count_; }
    int currentIndex() const { return current_; }

    // Writes the entries 0..count-1 that changed since the load into the file as it is now,
    // under its lock: a changed entry replaces the record of its MAC, a new one is added at
    // the end; the records of other programs stay. Records are numbered from 1 in written
    // order. An incomplete entry (empty MAC, ID or password, or a text that would not read
    // back the same: white space other than a blank, a blank mark of its own) is not written
    // and leaves the file's record alone. On any failure the old content stays whole.
    SaveResult store();
    // Empties the file (Clear), under its lock and by the same rules for links.
    // Where the file cannot be replaced (a directory we may not write) it is emptied where it
    // stands; not saved() means the passwords may still be on disk.
    SaveResult clear();
    bool clearFile() { return clear().saved(); }
    // How long store() and clear() wait for another program's lock.
    void setLockWait(std::chrono::milliseconds wait) { lockWait_ = wait; }

    // The file text for entries 0..count-1, and whether one was skipped.
    std::string formatText(bool* skippedIncomplete) const;
    const std::string& path() const { return file_.path(); }

private:
    bool truncateInPlace() const;
    // Slots are made as they are filled: the log is opened for every reply that echoes
    // credentials, and a table of kMaxEntries empty slots would cost more than the file.
    const Entry& entryAt(int index) const; // an empty entry for a slot never filled
    Entry& filledEntry(int index);         // index below kMaxEntries

    SaveResult update(const std::function<std::optional<std::string>(CredentialLog& onDisk,
                                                                     SaveResult& result)>& change);

    IniDatabaseFile file_;
    std::vector<Entry> entries_; // the entry at the count is outside the file
    std::vector<Entry> loaded_;  // entries 0..count-1 as the last load found them
    int count_ = 0;
    int current_ = 0;
    int unreadableParts_ = 0;
    int recordsBeyondTable_ = 0;
    std::chrono::milliseconds lockWait_{5000};
};

// The messages of a save: "Wrong data type!!" for a skipped entry, what was not recorded and
// why, and a warning when text of the file that was no record was not written back.
std::vector<StoreMessage> saveMessages(const CredentialLog::SaveResult& result);

} // namespace morvik
