#include "app/InformationOptions.h"

#include <string_view>

namespace morvik {
namespace {

constexpr std::string_view kUsage = R"(Usage: morvik [--help | --version] [Qt options]
Find, read, configure and reboot Quorvane device servers on the desktop.

  --help      print this text and exit
  --version   print the version and exit

Every other option goes to Qt, for example -platform wayland or -style Fusion.

The data directory is the working directory when it holds prodid.ini or a .dcf file,
else the per-user one, $XDG_DATA_HOME/morvik (~/.local/share/morvik).
Environment: MORVIK_DEVICE_PORT, MORVIK_BROADCAST_ADDRESS, MORVIK_HOST_ADDRESS,
MORVIK_HELP_VIEWER (see man morvik).
The manual: man morvik, or Help (F1) in the window.
)";

} // namespace

std::optional<int> answerInformationOption(int argc, char** argv, std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--help" || argument == "-h") {
            out << kUsage;
            return 0;
        }
        if (argument == "--version") {
            out << "morvik " MORVIK_VERSION "\n";
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace morvik
