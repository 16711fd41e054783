#include "stores/SafeFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvik {

namespace {

constexpr int kMaxNameAttempts = 1000;

// A write past the file size limit would end the process by SIGXFSZ: refused beforehand.
bool fitsFileSizeLimit(std::size_t size) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return true;
    }
    return size <= limit.rlim_cur;
}

// Writes, flushes and closes `fd`; 0, or the errno of the first step that failed.
int writeFlushClose(int fd, std::string_view content) {
    int error = 0;
    while (error == 0 && !content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error = written < 0 ? errno : EIO;
            break;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // some file systems refuse; the file itself is on disk already
        ::close(fd);
    }
}

FileWrite failure(std::string path, std::string reason) {
    return FileWrite{false, std::move(path), std::move(reason), 0};
}

FileWrite systemFailure(std::string path, int error) {
    return FileWrite{false, std::move(path), std::strerror(error), error};
}

// Why an existing file at `path` (lstat `status`) is not ours to replace; empty when it is.
std::string whyNotOurs(const struct stat& status) {
    if (S_ISLNK(status.st_mode)) {
        return "it is a symbolic link, and files are never written through one";
    }
    if (S_ISDIR(status.st_mode)) {
        return "it is a directory";
    }
    if (!S_ISREG(status.st_mode)) {
        return "it is not a regular file";
    }
    if (status.st_uid != ::geteuid()) {
        return "it belongs to another user";
    }
    return {};
}

} // namespace

FileWrite createNewFile(const std::string& path, std::string_view content, mode_t permissions) {
    if (!fitsFileSizeLimit(content.size())) {
        return systemFailure(path, EFBIG);
    }
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, permissions);
    if (fd < 0) {
        return systemFailure(path, errno);
    }
    if (const int error = writeFlushClose(fd, content); error != 0) {
        ::unlink(path.c_str());
        return systemFailure(path, error);
    }
    syncFolder(folderOf(path));
    return FileWrite{true, path, {}, 0};
}

FileWrite createFileWithUniqueName(const std::string& folder, const std::string& stem,
                                   std::string_view extension, std::string_view content,
                                   mode_t permissions) {
    const std::string base = folder.empty() || folder.ends_with('/') ? folder : folder + "/";
    FileWrite last;
    for (int number = 1; number <= kMaxNameAttempts; ++number) {
        const std::string suffix = number == 1 ? std::string() : "-" + std::to_string(number);
        last = createNewFile(base + stem + suffix + std::string(extension), content, permissions);
        if (last.written || last.error != EEXIST) {
            return last;
        }
    }
    last.reason = "every name from " + stem + std::string(extension) + " to " + stem + "-" +
                  std::to_string(kMaxNameAttempts) + std::string(extension) + " is taken";
    return last;
}

std::string whyNotReplaceable(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0) {
        if (std::string why = whyNotOurs(status); !why.empty()) {
            return why;
        }
    } else if (errno != ENOENT) {
        return std::strerror(errno);
    }
    const std::string folder = folderOf(path);
    struct stat folderStatus {};
    if (::stat(folder.c_str(), &folderStatus) != 0 || !S_ISDIR(folderStatus.st_mode)) {
        return "the folder " + folder + " does not exist";
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "the folder " + folder + ": " + std::strerror(errno);
    }
    return {};
}

FileWrite replaceOwnFile(const std::string& path, std::string_view content, mode_t permissions) {
    struct stat old {};
    const bool existed = ::lstat(path.c_str(), &old) == 0;
    if (!existed && errno != ENOENT) {
        return systemFailure(path, errno);
    }
    if (existed) {
        if (std::string why = whyNotOurs(old); !why.empty()) {
            return failure(path, std::move(why));
        }
    }
    // An existing file is never opened up: its permissions are only ever tightened.
    const mode_t wanted = existed ? (old.st_mode & permissions & 07777) : permissions;
    static std::atomic<unsigned> sequence{0};
    FileWrite temporary;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        temporary = createNewFile(path + ".tmp-" + std::to_string(::getpid()) + "-" +
                                      std::to_string(sequence.fetch_add(1)),
                                  content, wanted);
        if (temporary.written || temporary.error != EEXIST) {
            break;
        }
    }
    if (!temporary.written) {
        temporary.path = path;
        return temporary;
    }
    // The umask may have taken more than asked; an existing file keeps what it had (tightened).
    if (existed && ::chmod(temporary.path.c_str(), wanted) != 0) {
        const int error = errno;
        ::unlink(temporary.path.c_str());
        return systemFailure(path, error);
    }
    // rename never follows a link at `path`: one planted since the check is replaced itself.
    if (::rename(temporary.path.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.path.c_str());
        return systemFailure(path, error);
    }
    syncFolder(folderOf(path));
    return FileWrite{true, path, {}, 0};
}

} // namespace morvik
