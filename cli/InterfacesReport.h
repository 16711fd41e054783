#pragma once

#include "cli/Output.h"
#include "protocol/Broadcast.h"
#include "protocol/LocalInterfaces.h"

#include <cstdint>
#include <string>
#include <vector>

namespace morvik::cli {

// What an administrator checks first when nothing answers: the networks a probe goes out on
// with their broadcast addresses, and the host address and subnets of the local-subnet test.
std::string interfacesText(const std::vector<BroadcastRoute>& routes, const LocalSubnetBasis& basis,
                           std::uint16_t port);
Json interfacesJson(const std::vector<BroadcastRoute>& routes, const LocalSubnetBasis& basis,
                    std::uint16_t port);

} // namespace morvik::cli
