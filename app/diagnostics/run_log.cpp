#include "app/diagnostics/run_log.h"

#include <array>

#include "link/speed_table.h"

namespace pelox {

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
