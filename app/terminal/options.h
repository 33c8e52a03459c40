#pragma once
// The command line of pelox-uploader. With no options it behaves as the
// Windows program: Firmware.bin in the current directory, the storage pipe
// first, then COM1 and COM2.
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pelox {

struct UploaderOptions {
  bool plain = false;  // line-by-line output instead of the drawn dialog
  bool yes = false;    // press Upload when it is enabled, Close at the end
  bool help = false;
  bool version = false;
  std::optional<std::string> com1;  // device behind COM1
  std::optional<std::string> com2;  // device behind COM2
};

// Parses the arguments after the program name. False with `error` set for
// an unknown option or a missing path.
bool ParseUploaderOptions(std::span<const std::string_view> arguments, UploaderOptions& options,
                          std::string& error);

std::string UploaderUsage(std::string_view program);

}  // namespace pelox
