#include "app/session/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "link/speed_table.h"

namespace pelox {
namespace {

constexpr const char* DESCRIPTION =
    "Writes a firmware image (FILE, by default Firmware.bin in the current directory) "
    "into a Pelox camera found on the USB storage pipe or on the serial ports named "
    "with --port. No serial device is opened unless it is named.";

constexpr const char* WINDOW_DESCRIPTION =
    "Shows the Pelox Firmware Uploader's window, which writes a firmware image (FILE, by "
    "default Firmware.bin in the current directory, in any case, else one chosen in the "
    "window) into a Pelox camera found on the USB storage pipe or on the serial ports "
    "named with --port or chosen in the window. Qt's own options (-platform, -style, ...) "
    "are taken too. The outcome is one line on standard error.";

constexpr const char* EXIT_STATUSES =
    "Exit status:\n"
    "  0    the firmware was written (with --check: the camera would be updated;\n"
    "       with --list: a camera was found; with --inspect: the image holds together)\n"
    "  1    writing failed before the write command: the camera keeps its old firmware,\n"
    "       safe to retry\n"
    "  2    bad usage\n"
    "  3    no camera found, or no access to its device\n"
    "  4    the image was refused (missing, unreadable or inconsistent)\n"
    "  5    the camera was refused (maker, firmware family or version, battery)\n"
    "  6    the camera already has this firmware or a newer one\n"
    "  7    state uncertain: the write command may have reached the camera and no verdict\n"
    "       came; leave the camera on, then check its version with --list\n"
    "  8    closed by the user before any update\n"
    "  130  interrupted (SIGINT, SIGTERM, SIGHUP or SIGQUIT) before the camera began writing\n";

constexpr const char* WINDOW_EXIT_STATUSES =
    "Exit status:\n"
    "  0    the firmware was written\n"
    "  1    writing failed before the write command: the camera keeps its old firmware\n"
    "  2    bad usage\n"
    "  3    no camera found, or no access to its device\n"
    "  4    the image was refused (missing, unreadable or inconsistent)\n"
    "  5    the camera was refused (maker, firmware family or version, battery)\n"
    "  6    the camera already has this firmware or a newer one\n"
    "  7    state uncertain: the write command may have reached the camera and no verdict\n"
    "       came; leave the camera on\n"
    "  8    closed before any update\n"
    "  130  interrupted (SIGINT, SIGTERM, SIGHUP or SIGQUIT) before the camera began writing\n";

// Qt's own options, which QApplication takes from the same command line:
// those that take a value (as the next argument or after "="), then flags.
constexpr std::array<std::string_view, 15> QT_VALUE_OPTIONS = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "name",          "title",   "visual"};
constexpr std::array<std::string_view, 6> QT_FLAGS = {"reverse", "widgetcount", "nograb",
                                                      "dograb",  "sync",        "qmljsdebugger"};

bool IsIn(std::span<const std::string_view> names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The arguments without Qt's options; "--" ends the options for both.
std::vector<std::string> WithoutQtOptions(std::span<const std::string> arguments) {
  std::vector<std::string> kept;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--") {
      kept.insert(kept.end(), std::next(arguments.begin(), static_cast<std::ptrdiff_t>(i)),
                  arguments.end());
      break;
    }
    std::string_view name = arguments[i];
    if (i == 0 || !name.starts_with('-')) {
      kept.push_back(arguments[i]);
      continue;
    }
    name.remove_prefix(name.starts_with("--") ? 2 : 1);
    const bool valued = name.find('=') != std::string_view::npos;
    name = name.substr(0, name.find('='));
    if (IsIn(QT_VALUE_OPTIONS, name)) {
      if (!valued) ++i;
    } else if (!IsIn(QT_FLAGS, name)) {
      kept.push_back(arguments[i]);
    }
  }
  return kept;
}

std::optional<int32_t> SpeedIndex(uint32_t baud) {
  for (int32_t index = SPEED_INDEX_FIRST; index <= SPEED_INDEX_LAST; ++index) {
    if (SpeedTableBaud(index) == baud) return index;
  }
  return std::nullopt;
}

// Bad usage: the problem and a hint, not the whole help text.
CommandLine Usage(const std::string& program, const std::string& problem) {
  return {std::nullopt, EXIT_USAGE,
          program + ": " + problem + "\nTry '" + program + " --help' for more information.\n"};
}

// The options that act on the camera and the image: both programs take them.
void AddUpdateOptions(CLI::App& app, UploaderOptions& options, std::string& com1, std::string& com2,
                      uint32_t& speed) {
  app.add_option("FILE", options.image, "the firmware image (default: ./Firmware.bin)")
      ->type_name("");
  app.add_option("--port", options.ports,
                 "a serial device to probe, such as /dev/ttyUSB0 or /dev/serial/by-id/...; "
                 "repeat for a second one, probed in the order given")
      ->type_name("PATH")
      ->allow_extra_args(false);
  app.add_option("--com1", com1, "the serial device probed first (same as the first --port)")
      ->type_name("PATH");
  app.add_option("--com2", com2, "the serial device probed last")->type_name("PATH");
  app.add_option("--device", options.device,
                 "the SCSI generic or block device of the camera's storage pipe, instead of "
                 "searching for it")
      ->type_name("PATH");
  app.add_flag("--allow-reinstall", options.allow_reinstall,
               "also write an image of the version the camera has");
  app.add_flag("--allow-older", options.allow_older,
               "also write an older image of the camera's family");
  app.add_option("--speed", speed,
                 "serial only: ask the camera for this speed after the handshake (9600, 19200, "
                 "38400, 57600, 115200 or 230400); a camera that refuses it is updated at 115200")
      ->type_name("BPS");
}

// What only the terminal program does: modes, outputs and traces.
void AddTerminalOptions(CLI::App& app, UploaderOptions& options) {
  app.add_flag("--list", options.list,
               "list the cameras found, with port, maker, firmware version and battery level; "
               "writes nothing");
  app.add_flag("--check", options.check,
               "run every check up to the upload and say whether the camera would be updated; "
               "writes nothing");
  app.add_option("--inspect", options.inspect,
                 "describe the image FILE (size, header fields, version, family, whether LENGTH "
                 "and SUM agree) without looking for a camera")
      ->type_name("FILE");
  app.add_flag("-y,--yes", options.yes,
               "start the update as soon as the checks pass, and close at the end");
  app.add_flag("--plain", options.plain,
               "print each message and the progress as lines (the default when standard input "
               "or output is not a terminal)");
  app.add_flag("-q,--quiet", options.quiet, "print only the result");
  app.add_flag("-v,--verbose", options.verbosity,
               "print each step, and each frame sent again, wait and reconnection with its try; "
               "twice (-vv): also each frame decoded, each byte on the line and each SCSI "
               "command, with its time");
  app.add_option("--log", options.log_file,
                 "write the -vv trace to FILE whatever the verbosity, after a header naming the "
                 "run; never to a camera's port or a terminal")
      ->type_name("FILE");
  app.add_option("--record", options.record_file,
                 "write everything that crosses the port to FILE, to replay it with camsim; "
                 "keeps only the base names of paths, and of the image only its header and "
                 "size")
      ->type_name("FILE");
  app.add_flag("--record-image", options.record_image,
               "with --record: keep the image's payload in the recording too");
  app.add_flag("--json", options.json,
               "print one JSON object a line: steps, messages, the bytes the camera "
               "acknowledged, the link's events, and last, always, the result");
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string> given, Program program) {
  const bool window = program == Program::WINDOW;
  const std::vector<std::string> arguments =
      window ? WithoutQtOptions(given) : std::vector<std::string>(given.begin(), given.end());
  const char* name = window ? "pelox-uploader-gui" : "pelox-uploader";
  const std::string shown = arguments.empty() ? name : arguments.front();
  CLI::App app(window ? WINDOW_DESCRIPTION : DESCRIPTION, name);
  app.footer(window ? WINDOW_EXIT_STATUSES : EXIT_STATUSES);
  app.set_version_flag("-V,--version", std::string(name) + " " PELOX_VERSION);

  UploaderOptions options;
  std::string com1;
  std::string com2;
  uint32_t speed = 0;
  AddUpdateOptions(app, options, com1, com2, speed);
  if (!window) AddTerminalOptions(app, options);

  std::vector<const char*> argv;
  argv.reserve(arguments.size() + 1);
  argv.push_back(shown.c_str());
  for (size_t i = 1; i < arguments.size(); ++i) argv.push_back(arguments[i].c_str());
  std::ostringstream out;
  std::ostringstream err;
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error, out, err);
    if (code == 0) return {std::nullopt, EXIT_WRITTEN, out.str()};
    return Usage(shown, error.what());
  } catch (const std::out_of_range&) {
    // CLI11 reads a flag's value (-v=N) with stoll, which throws past its range.
    return Usage(shown, "a flag's value is out of range");
  }

  if (!com1.empty()) options.ports.insert(options.ports.begin(), com1);
  if (!com2.empty()) options.ports.push_back(com2);
  // A port named twice is probed once.
  for (auto port = options.ports.begin(); port != options.ports.end(); ++port) {
    options.ports.erase(std::remove(std::next(port), options.ports.end(), *port),
                        options.ports.end());
  }
  if (options.ports.size() > SERIAL_PORTS_MAX) {
    return Usage(shown, "at most two serial ports can be named");
  }
  if (app.count("--speed") > 0) {
    options.speed_index = SpeedIndex(speed);
    if (!options.speed_index) {
      return Usage(shown, "--speed " + std::to_string(speed) + " is not a speed of the camera");
    }
  }
  if (static_cast<int>(options.list) + static_cast<int>(options.check) +
          static_cast<int>(!options.inspect.empty()) >
      1) {
    return Usage(shown, "--list, --check and --inspect exclude each other");
  }
  if (options.record_image && options.record_file.empty()) {
    return Usage(shown, "--record-image needs --record FILE");
  }
  options.verbosity = std::min(options.verbosity, 2);
  return {options, EXIT_WRITTEN, {}};
}

}  // namespace pelox
