#pragma once

#include <optional>
#include <ostream>

namespace morvik {

// `morvik --help` and `morvik --version` print their answer to `out` and end the program
// before any window (or display) is needed: the exit status, or nothing for a run that
// shows the window. Every other argument belongs to Qt.
std::optional<int> answerInformationOption(int argc, char** argv, std::ostream& out);

} // namespace morvik
