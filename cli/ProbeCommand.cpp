#include "cli/CommandRun.h"
#include "cli/InterfacesReport.h"

// The commands that only probe: probe and interfaces.

namespace morvik::cli {

int CommandRun::probeCommand() {
    const auto units = probe({});
    if (!units) {
        return kExitUnitFailed;
    }
    reportChecksumErrors(*units, {});
    if (options_.json) {
        printDocument(probeJson(*units));
    } else {
        out_ << probeTable(*units);
    }
    if (units->empty()) {
        return noUnitAnswered("the probe");
    }
    return kExitSuccess;
}

int CommandRun::interfacesCommand() {
    const auto routes = broadcastRoutes(endpoints_, readLocalInterfaces());
    const LocalSubnetBasis basis = currentLocalSubnetBasis(endpoints_.hostAddress);
    if (options_.json) {
        printDocument(interfacesJson(routes, basis, endpoints_.devicePort));
    } else {
        out_ << interfacesText(routes, basis, endpoints_.devicePort);
    }
    return kExitSuccess;
}

} // namespace morvik::cli
