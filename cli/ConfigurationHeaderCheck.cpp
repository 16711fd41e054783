#include "cli/ConfigurationHeaderCheck.h"

#include "text/WholeFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvik::cli {

namespace {

std::string kindOfFile(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "it is a directory";
    }
    if (S_ISFIFO(mode)) {
        return "it is a FIFO, not a regular file";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "it is a device, not a regular file";
    }
    if (S_ISSOCK(mode)) {
        return "it is a socket, not a regular file";
    }
    return "it is not a regular file";
}

} // namespace

std::variant<ConfigurationHeader, std::string> readConfigurationHeader(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::string(std::strerror(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        return kindOfFile(status.st_mode);
    }
    // The permission is what usually stands in the way; the type may change in between, which
    // the reading itself refuses.
    if (::access(path.c_str(), R_OK) != 0) {
        return std::string(std::strerror(errno));
    }
    const auto text = readWholeFile(path);
    if (!text) {
        return std::string("it cannot be read as a regular file");
    }
    auto header = parseConfiguration(*text).header;
    if (!header) {
        return std::string("it is no configuration file: it does not begin with a unit count, a "
                           "product id and a version");
    }
    return std::move(*header);
}

} // namespace morvik::cli
