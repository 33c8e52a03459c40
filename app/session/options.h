#pragma once
// The command line of pelox-uploader, parsed without side effects: the
// arguments in, the options or the text and exit status to end with out.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pelox {

// How the program ends; scripts tell the causes apart by these.
inline constexpr int EXIT_WRITTEN = 0;
inline constexpr int EXIT_WRITE_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;
inline constexpr int EXIT_NO_CAMERA = 3;
inline constexpr int EXIT_IMAGE_REFUSED = 4;
inline constexpr int EXIT_CAMERA_REFUSED = 5;
inline constexpr int EXIT_UP_TO_DATE = 6;
inline constexpr int EXIT_WRITE_UNCERTAIN = 7;
inline constexpr int EXIT_CLOSED = 8;
inline constexpr int EXIT_INTERRUPTED = 130;

// At most this many serial ports are probed, in the order named.
inline constexpr size_t SERIAL_PORTS_MAX = 2;

struct UploaderOptions {
  std::string image;               // empty: Firmware.bin in the current directory
  std::vector<std::string> ports;  // serial devices to probe, in order
  std::string device;              // the storage pipe's device instead of a search
  bool plain = false;              // lines instead of the drawn dialog
  bool yes = false;                // press Upload when enabled, Close at the end
  bool list = false;
  bool check = false;
  std::string inspect;  // --inspect FILE: describe the image, no camera
  bool allow_reinstall = false;
  bool allow_older = false;
  bool json = false;
  bool quiet = false;
  int verbosity = 0;  // -v 1, -vv 2
  std::string log_file;
  std::string record_file;             // --record: what crosses the port, for a bug report
  bool record_image = false;           // the recording keeps the image's payload too
  std::optional<int32_t> speed_index;  // the serial speed asked for after the handshake
};

struct CommandLine {
  std::optional<UploaderOptions> options;  // set when the program is to run
  int exit_status = EXIT_WRITTEN;          // otherwise end with this status
  std::string text;  // and print this: on standard output for 0, else on standard error
};

// `arguments` includes the program's name first.
CommandLine ParseCommandLine(std::span<const std::string> arguments);

}  // namespace pelox
