#pragma once

#include "protocol/MacAddress.h"
#include "sim/SimulatedUnit.h"

#include <optional>
#include <string>

namespace morvik::sim {

// A unit's saved state lives in the state directory as one JSON file per MAC,
// "02-4D-56-00-00-01.json": {"mac", "productId", "version", "loginIdHex", "passwordHex",
// "values": {address: hex bytes}}. The login is kept as hex bytes because a unit's ID may
// hold any byte.
std::string unitStatePath(const std::string& stateDirectory, const MacBytes& mac);

std::string serializeUnitState(const SimulatedUnit& unit);
// Nothing when the text is not a saved state of this unit's product and version (a unit that
// was given another product starts afresh).
std::optional<UnitState> parseUnitState(std::string_view text, const UnitSpec& spec);

// Writes the state atomically: a temporary file in the same directory, flushed to disk, then
// renamed over the old one, so that a crash never leaves half a file. False on any failure.
bool saveUnitState(const std::string& stateDirectory, const SimulatedUnit& unit,
                   std::string& error);
// Nothing when there is no saved state (or it cannot be read as one, see `error`).
std::optional<UnitState> loadUnitState(const std::string& stateDirectory, const UnitSpec& spec,
                                       std::string& error);

} // namespace morvik::sim
