#pragma once

#include "cli/CliOptions.h"
#include "parameters/Dialogs.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace morvik::cli {

// What --login-file gives: the login for the units, and for set a new login to write to them.
// Passwords never stand in the command line, where every local user can read them (ps).
struct LoginFileContent {
    std::optional<Credentials> login;       // "id=" and "password="
    std::optional<std::string> newLoginId;  // "new-id="
    std::optional<std::string> newPassword; // "new-password="
    std::vector<Assignment> loginValues;    // "2.n.1=" and "2.n.2=": the values for set
};

// The file is "KEY=TEXT" lines (TEXT to the end of its line, blanks kept); a KEY may also
// be the address of a login parameter, a value for set as ADDRESS=TEXT would give it. "-" reads
// standard input; a pipe such as /dev/fd/3 is read as it is; a regular file must belong to
// this user and be closed to everyone else (mode 0600 or 0400), or it is refused unread.
// The reason, when the file cannot be taken.
std::variant<LoginFileContent, std::string> readLoginFile(const std::string& path);

// Reads the --login-file of `options` into its credentials and new login; the usage error,
// when there is one.
std::optional<std::string> applyLoginFile(CliOptions& options);

} // namespace morvik::cli
