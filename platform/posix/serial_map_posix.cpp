#include <map>
#include <utility>

#include "platform/serial_map.h"

namespace pelox {
namespace {

std::map<int32_t, std::string>& Overrides() {
  static std::map<int32_t, std::string> overrides;
  return overrides;
}

}  // namespace

void SerialMapDevice(int32_t port, std::string path) { Overrides()[port] = std::move(path); }

std::string SerialDevicePath(int32_t port) {
  const auto mapped = Overrides().find(port);
  if (mapped != Overrides().end()) return mapped->second;
  if (port < 1) return std::string();
  return "/dev/ttyS" + std::to_string(port - 1);
}

void SerialResetDeviceMap() { Overrides().clear(); }

}  // namespace pelox
