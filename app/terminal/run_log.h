#pragma once
// The --log file before it is opened: whether its path may take a trace at
// all (never the camera's port nor a terminal), and the header that tells a
// support engineer which run wrote it.
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "app/terminal/options.h"

namespace pelox {

// Why `options.log_file` must not be written; empty when it may.
std::string LogFileRefusal(const UploaderOptions& options);

// The program's version, its arguments, the date, the ports and the speed.
std::vector<std::string> LogHeader(std::span<const std::string> arguments,
                                   const UploaderOptions& options, std::time_t now);

}  // namespace pelox
