#include "app/terminal/options.h"

namespace pelox {

bool ParseUploaderOptions(std::span<const std::string_view> arguments, UploaderOptions& options,
                          std::string& error) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--plain") {
      options.plain = true;
    } else if (argument == "--yes") {
      options.yes = true;
    } else if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (argument == "--com1" || argument == "--com2") {
      if (i + 1 == arguments.size()) {
        error = std::string(argument) + " needs a device path";
        return false;
      }
      (argument == "--com1" ? options.com1 : options.com2) = std::string(arguments[++i]);
    } else {
      error = "unknown option " + std::string(argument);
      return false;
    }
  }
  return true;
}

std::string UploaderUsage(std::string_view program) {
  return "Usage: " + std::string(program) +
         " [--plain] [--yes] [--com1 PATH] [--com2 PATH]\n"
         "Writes Firmware.bin from the current directory into a Pelox camera found on\n"
         "the USB storage pipe, or else on COM1 or COM2.\n"
         "\n"
         "  --plain      print each message and the progress as lines (the default\n"
         "               when the output is not a terminal)\n"
         "  --yes        start the update as soon as the checks pass, close at the end\n"
         "  --com1 PATH  the serial device probed as COM1 (default /dev/ttyS0)\n"
         "  --com2 PATH  the serial device probed as COM2 (default /dev/ttyS1)\n"
         "  --help       show this text\n"
         "  --version    show the program's version\n"
         "\n"
         "Exit status: 0 when the firmware was written, 1 for any other end, 2 for\n"
         "bad usage.\n";
}

}  // namespace pelox
