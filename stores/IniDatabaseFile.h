#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace morvik {

// The file behind a small database ("prodid.ini", "pwd.ini"). Reads take the whole file;
// writes replace it atomically: the new content goes to a temporary file in the same
// directory, which is flushed and then renamed over the old one, so a crash or a full disk
// never leaves a half-written file behind.
class IniDatabaseFile {
public:
    explicit IniDatabaseFile(mode_t newFilePermissions = 0644) : permissions_(newFilePermissions) {}

    void setPath(std::string path) { path_ = std::move(path); }
    const std::string& path() const { return path_; }

    // Creates the file empty when it is missing. False when it can be neither found nor made.
    bool ensureExists() const;
    // The whole content (after ensureExists), or nothing when the file cannot be read.
    std::optional<std::string> readAll() const;
    // How the stores load: the file made when missing, then its whole content; nothing when
    // either step fails.
    std::optional<std::string> readCreatingIfMissing() const;
    // Replaces the content atomically; false (old content intact) on any failure.
    bool replaceContent(std::string_view content) const;

    // What an update makes of the content it found.
    struct Revision {
        enum class Action { Replace, Keep, Refuse };
        Action action = Action::Keep;
        std::string content; // the new content, for Replace
    };
    // The content found, and the file it was found in when the path is a symbolic link (empty
    // otherwise).
    using Reviser =
        std::function<Revision(const std::string& current, const std::string& linkTarget)>;

    enum class UpdateStatus {
        Replaced,
        Kept,
        Refused,     // by the reviser
        LockTimeout, // another process held the lock for longer than the wait
        LinkRefused, // a link to something that is not a regular file of ours
        Failed       // a system call failed; `error` says which way
    };
    struct UpdateResult {
        UpdateStatus status = UpdateStatus::Failed;
        int error = 0;      // errno of a failure
        std::string target; // the file written or refused (behind a link: the link's target)
    };
    // Load-modify-replace that several processes can do at once without losing each other's
    // changes: an exclusive advisory lock (flock) on the file is held from the read to the
    // replacement, so the reviser always sees the content of the last writer. The file is made
    // (with our permissions) when missing. Through a symbolic link only a regular file owned by
    // this user is read and written. The old content stays whole on every failure.
    UpdateResult update(std::chrono::milliseconds lockWait, const Reviser& revise) const;

private:
    std::string path_;
    mode_t permissions_;
};

// dataDirectory + "/" + fileName: the data files live in the data directory.
std::string dataFilePath(std::string_view dataDirectory, std::string_view fileName);

} // namespace morvik
