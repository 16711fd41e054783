#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/HelpText.h"
#include "cli/LoginFile.h"
#include "cli/Output.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace morvik::cli;
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    ParsedCommandLine parsed = parseCommandLine(arguments);
    if (parsed.outcome == ParsedCommandLine::Outcome::Run) {
        if (auto problem = applyLoginFile(parsed.options)) {
            parsed.outcome = ParsedCommandLine::Outcome::UsageError;
            parsed.error = std::move(*problem);
        }
    }
    switch (parsed.outcome) {
    case ParsedCommandLine::Outcome::Help:
        std::cout << helpText();
        return kExitSuccess;
    case ParsedCommandLine::Outcome::Version:
        std::cout << versionText();
        return kExitSuccess;
    case ParsedCommandLine::Outcome::UsageError:
        std::cerr << "morvik-cli: " << parsed.error << "\nTry 'morvik-cli --help'.\n";
        if (std::find(arguments.begin(), arguments.end(), "--json") != arguments.end()) {
            std::cout << jsonDocument(failureJson({parsed.error})) << '\n';
        }
        return kExitUsage;
    case ParsedCommandLine::Outcome::Run:
        break;
    }
    return runCommand(parsed.options, std::cout, std::cerr);
}
