#pragma once

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

private:
    std::string path_;
    mode_t permissions_;
};

// dataDirectory + "/" + fileName: the data files live in the data directory.
std::string dataFilePath(std::string_view dataDirectory, std::string_view fileName);

// Splits text into white-space separated tokens, each cut to `maxTokenLength` characters (the
// rest of a longer token is skipped, it never becomes a token of its own). The data files are
// written with fixed layouts such as "\n[%d]\nName : %s \n"; the layout calls below read them
// the way those layouts are read back: a blank in a layout stands for any white space, other
// characters must stand exactly there.
class TokenReader {
public:
    TokenReader(std::string_view text, std::size_t maxTokenLength)
        : text_(text), maxTokenLength_(maxTokenLength) {}
    bool atEnd(); // only white space left
    std::optional<std::string_view> next();
    std::optional<std::string_view> next(std::size_t maxTokenLength);
    std::size_t position() const { return position_; }

    void skipSpace();
    // The exact characters at the current position (no white space skipped before them).
    bool literal(std::string_view characters);
    // White space, then the exact characters: a word of a layout such as "Name" or ":".
    bool word(std::string_view characters);
    // White space, an optional sign and decimal digits; values beyond `int` are held at its
    // limits. Nothing when no digit stands there.
    std::optional<int> integer();

private:
    std::string_view text_;
    std::size_t maxTokenLength_;
    std::size_t position_ = 0;
};

} // namespace morvik
