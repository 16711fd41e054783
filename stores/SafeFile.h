#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace morvik {

// Files the user asks for (a saved configuration, a backup) may land in folders that others
// can write to as well. Nothing here writes through a symbolic link, and nothing overwrites a
// file that is not a regular file of this user: a link planted under the chosen name never
// hands the content, with the units' login, to whoever planted it.

// Where a file went, or why it did not.
struct FileWrite {
    bool written = false;
    std::string path;   // the file written: for a file of a unique name, the name it got
    std::string reason; // why not, in the system's words ("No space left on device")
    int error = 0;      // the errno behind `reason`, 0 when the refusal is ours
};

// A new file holding `content`, made exclusively (an existing name, a link included, is never
// opened), with `permissions` (less the umask), flushed to disk before it counts as written.
// A file that could not be written whole is removed again.
FileWrite createNewFile(const std::string& path, std::string_view content, mode_t permissions);

// createNewFile as folder/stem + extension, or, when that name is taken, as
// folder/stem-2 + extension, folder/stem-3 + extension, ...: files of one stem made in the same
// second, by this run or another, never overwrite each other.
FileWrite createFileWithUniqueName(const std::string& folder, const std::string& stem,
                                   std::string_view extension, std::string_view content,
                                   mode_t permissions);

// Puts `content` at `path`: a new temporary file beside it, flushed, then renamed over it, so
// the old content stays whole on any failure. An existing `path` must be a regular file of
// this user and not a link; it keeps its permissions, tightened to `permissions` (a file that
// others could read becomes private when `permissions` says so). A new file gets
// `permissions`.
FileWrite replaceOwnFile(const std::string& path, std::string_view content, mode_t permissions);

// Why replaceOwnFile would refuse `path`, found without writing anything; empty when it would
// go ahead as far as can be seen now.
std::string whyNotReplaceable(const std::string& path);

} // namespace morvik
