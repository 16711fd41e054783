#pragma once

#include "config/ConfigurationFile.h"

#include <string>
#include <variant>

namespace morvik::cli {

// The header of the configuration file of a load or a diff, read before anything is sent; or
// why the file cannot be taken, in words that finish "cannot read the configuration file
// PATH: ...". Only a regular file is opened: a FIFO would keep the run waiting for a writer,
// and a device such as /dev/zero is no file of values.
std::variant<ConfigurationHeader, std::string> readConfigurationHeader(const std::string& path);

} // namespace morvik::cli
