#pragma once

#include "config/ConfigurationFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace morvik {

class ParameterTable;

// Who a selected unit is, as its probe reply said.
struct UnitIdentity {
    std::string name;
    std::string ip;
};

// A value of a configuration file that would make the units carry another unit's identity.
struct IdentityChange {
    int line = 0;
    std::string parameter; // the parameter text of the line
    std::string loaded;    // the file's value
};

// Is this parameter text one that names a unit on its network (device or host name, its IP
// or MAC address, gateway or DNS server)? Blanks and underscores alike, case ignored.
bool isIdentityParameter(std::string_view parameterText);

// The lines whose loading would change an identity value of the units: a value that the load
// would mark for writing, on a line that names an identity or now shows one of the units'
// own names or addresses, unless the file's value is every unit's own (a unit's own backup
// gives it back its own name). In line order.
std::vector<IdentityChange> identityChanges(const ConfigurationContent& content,
                                            const ParameterTable& table,
                                            const std::vector<UnitIdentity>& units);

// `content` without the value lines of `changes`: the units keep their own values there.
ConfigurationContent withoutChanges(ConfigurationContent content,
                                    const std::vector<IdentityChange>& changes);

} // namespace morvik
