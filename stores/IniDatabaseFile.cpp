#include "stores/IniDatabaseFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace morvik {

namespace {

// Closes the descriptor when it goes out of scope, unless released.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    int get() const { return fd_; }
    // Closes now and tells whether the close went well (a late write error shows up here).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int fd_;
};

// A write past the file size limit would end the process by SIGXFSZ, leaving the temporary
// file behind: such a content is refused before anything is written.
bool fitsFileSizeLimit(std::size_t size) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return true;
    }
    return size <= limit.rlim_cur;
}

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

// A replaced symbolic link keeps pointing where it pointed: the file behind it gets the new
// content, as a write through the link would have done.
std::string replacementTarget(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return path;
}

// A new temporary file beside `target`, created with `permissions` (less the umask).
std::pair<int, std::string> createTemporaryBeside(const std::string& target, mode_t permissions) {
    static std::atomic<unsigned> sequence{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = target + ".tmp-" + std::to_string(::getpid()) + "-" +
                           std::to_string(sequence.fetch_add(1));
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, permissions);
        if (fd >= 0) {
            return {fd, std::move(name)};
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {-1, std::string()};
}

// The whole content from the start, whatever the descriptor's offset.
std::optional<std::string> readFrom(int fd) {
    std::string content;
    char buffer[16384];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            return content;
        }
        content.append(buffer, static_cast<std::size_t>(got));
        at += got;
    }
}

} // namespace

bool IniDatabaseFile::ensureExists() const {
    if (path_.empty()) {
        return false;
    }
    struct stat status {};
    if (::stat(path_.c_str(), &status) == 0) {
        return true;
    }
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissions_);
    if (fd < 0) {
        return errno == EEXIST;
    }
    return ::close(fd) == 0;
}

std::optional<std::string> IniDatabaseFile::readCreatingIfMissing() const {
    if (!ensureExists()) {
        return std::nullopt;
    }
    return readAll();
}

std::optional<std::string> IniDatabaseFile::readAll() const {
    FileDescriptor file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return std::nullopt;
    }
    return readFrom(file.get());
}

namespace {

// The content goes to a temporary file beside `target`, which is flushed and renamed over it.
// False, with errno in `error`, on any failure: the old file is then untouched and the
// temporary file gone.
bool replaceFile(const std::string& target, std::string_view content, mode_t ownPermissions,
                 int& error) {
    if (!fitsFileSizeLimit(content.size())) {
        error = EFBIG;
        return false;
    }
    // An existing file keeps its permissions, tightened to ours: a log of passwords that some
    // other tool left world-readable becomes private, and nothing is ever opened up.
    struct stat old {};
    const bool hadOldFile = ::stat(target.c_str(), &old) == 0;
    const mode_t permissions = hadOldFile ? (old.st_mode & ownPermissions & 07777) : ownPermissions;

    auto [fd, temporaryName] = createTemporaryBeside(target, permissions);
    FileDescriptor temporary(fd);
    if (temporary.get() < 0) {
        error = errno;
        return false;
    }
    bool good = true;
    if (hadOldFile) {
        good = ::fchmod(temporary.get(), permissions) == 0;
        if (good && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
            // Only possible with privileges; without them the file simply becomes ours.
            [[maybe_unused]] const int ignored = ::fchown(temporary.get(), old.st_uid, old.st_gid);
        }
    }
    good = good && writeAll(temporary.get(), content);
    good = good && ::fsync(temporary.get()) == 0;
    good = temporary.close() && good;
    good = good && ::rename(temporaryName.c_str(), target.c_str()) == 0;
    if (!good) {
        error = errno;
        ::unlink(temporaryName.c_str());
        return false;
    }
    // The rename itself is made durable; a directory that cannot be synced (some file systems
    // refuse) does not undo a replacement that has already happened.
    FileDescriptor directory(
        ::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0) {
        ::fsync(directory.get());
    }
    return true;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

bool IniDatabaseFile::replaceContent(std::string_view content) const {
    if (path_.empty()) {
        return false;
    }
    int error = 0;
    return replaceFile(replacementTarget(path_), content, permissions_, error);
}

IniDatabaseFile::UpdateResult IniDatabaseFile::update(std::chrono::milliseconds lockWait,
                                                      const Reviser& revise) const {
    UpdateResult result;
    result.target = path_;
    if (path_.empty()) {
        result.error = ENOENT;
        return result;
    }
    struct stat linkStatus {};
    const bool throughLink =
        ::lstat(path_.c_str(), &linkStatus) == 0 && S_ISLNK(linkStatus.st_mode);
    if (throughLink) {
        char resolved[PATH_MAX];
        if (::realpath(path_.c_str(), resolved) == nullptr) {
            result.status = UpdateStatus::LinkRefused; // a link to nothing
            return result;
        }
        result.target = resolved;
    }

    const auto deadline = std::chrono::steady_clock::now() + lockWait;
    std::optional<FileDescriptor> locked;
    while (!locked) {
        // Behind a link only an existing file is taken; our own path is made when missing.
        const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | (throughLink ? 0 : O_CREAT);
        FileDescriptor file(::open(result.target.c_str(), flags, permissions_));
        if (file.get() < 0) {
            result.error = errno;
            return result;
        }
        struct stat opened {};
        if (::fstat(file.get(), &opened) != 0) {
            result.error = errno;
            return result;
        }
        if (!S_ISREG(opened.st_mode) || (throughLink && opened.st_uid != ::geteuid())) {
            result.status = UpdateStatus::LinkRefused;
            return result;
        }
        while (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EWOULDBLOCK) {
                result.error = errno;
                return result;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                result.status = UpdateStatus::LockTimeout;
                return result;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // The holder before us may have replaced the file: its lock, and now ours, belongs to
        // the old one. Take the new file instead.
        struct stat current {};
        if (::stat(result.target.c_str(), &current) == 0 && sameFile(current, opened)) {
            locked.emplace(std::move(file));
        } else if (std::chrono::steady_clock::now() >= deadline) {
            result.status = UpdateStatus::LockTimeout;
            return result;
        }
    }

    const auto content = readFrom(locked->get());
    if (!content) {
        result.error = errno;
        return result;
    }
    Revision revision = revise(*content, throughLink ? result.target : std::string());
    switch (revision.action) {
    case Revision::Action::Keep:
        result.status = UpdateStatus::Kept;
        return result;
    case Revision::Action::Refuse:
        result.status = UpdateStatus::Refused;
        return result;
    case Revision::Action::Replace:
        break;
    }
    if (!replaceFile(result.target, revision.content, permissions_, result.error)) {
        return result;
    }
    result.status = UpdateStatus::Replaced;
    return result; // the lock goes with the old file's descriptor
}

std::string dataFilePath(std::string_view dataDirectory, std::string_view fileName) {
    std::string path(dataDirectory);
    path += '/';
    path += fileName;
    return path;
}

} // namespace morvik
