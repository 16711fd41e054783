#include "text/WholeFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvik {

std::optional<std::string> readWholeFile(const std::string& path) {
    // Without O_NONBLOCK opening a FIFO waits for a writer, for ever if none comes; a regular
    // file reads the same either way.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return std::nullopt;
    }
    std::optional<std::string> text;
    struct stat status {};
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        text.emplace(
            std::min<std::size_t>(static_cast<std::size_t>(status.st_size), kMaxWholeFileBytes),
            '\0');
        std::size_t filled = 0;
        while (filled < text->size()) {
            const ssize_t got = ::read(descriptor, text->data() + filled, text->size() - filled);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            filled += static_cast<std::size_t>(got);
        }
        text->resize(filled); // a file that shrank while being read gives what it still had
    }
    ::close(descriptor);
    return text;
}

} // namespace morvik
