#pragma once
// The header of the --log file, which tells a support engineer which run
// wrote it.
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "app/session/options.h"

namespace pelox {

// The program's version, its arguments, the date, the ports and the speed.
std::vector<std::string> LogHeader(std::span<const std::string> arguments,
                                   const UploaderOptions& options, std::time_t now);

}  // namespace pelox
