#include "app/terminal/run_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include "link/speed_table.h"

namespace pelox {
namespace {

bool SameFile(const struct stat& one, const std::string& path) {
  struct stat other {};
  return stat(path.c_str(), &other) == 0 && one.st_dev == other.st_dev &&
         one.st_ino == other.st_ino;
}

bool IsTerminal(const std::string& path) {
  // Opened without becoming its controlling terminal and without waiting
  // for a modem line.
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool terminal = isatty(fd) == 1;
  close(fd);
  return terminal;
}

}  // namespace

std::string LogFileRefusal(const UploaderOptions& options) {
  struct stat log {};
  if (stat(options.log_file.c_str(), &log) != 0) return {};
  std::vector<std::string> camera_paths = options.ports;
  if (!options.device.empty()) camera_paths.push_back(options.device);
  for (const std::string& path : camera_paths) {
    if (SameFile(log, path)) {
      return "--log " + options.log_file + " is a camera's port; the trace would go to the camera";
    }
  }
  if (S_ISCHR(log.st_mode) && IsTerminal(options.log_file)) {
    return "--log " + options.log_file + " is a terminal device; use -vv to trace to the terminal";
  }
  return {};
}

std::vector<std::string> LogHeader(std::span<const std::string> arguments,
                                   const UploaderOptions& options, std::time_t now) {
  std::string command;
  for (const std::string& argument : arguments) command += (command.empty() ? "" : " ") + argument;
  std::array<char, 64> date{};
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::strftime(date.data(), date.size(), "%Y-%m-%d %H:%M:%S UTC", &utc);
  std::string ports;
  for (const std::string& port : options.ports) ports += (ports.empty() ? "" : ", ") + port;
  if (!options.device.empty()) ports += (ports.empty() ? "" : ", ") + options.device;
  const uint32_t baud = SpeedTableBaud(options.speed_index.value_or(SPEED_INDEX_USUAL));
  return {"pelox-uploader " PELOX_VERSION, "arguments: " + command,
          "date: " + std::string(date.data()),
          "ports: " + (ports.empty() ? std::string("the USB storage pipe only") : ports),
          "speed asked for: " + std::to_string(baud) + " bit/s"};
}

}  // namespace pelox
