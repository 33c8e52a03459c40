#include <map>
#include <utility>

#include "platform/serial_map.h"

namespace pelox {
namespace {

std::map<int32_t, std::string>& Overrides() {
  static std::map<int32_t, std::string> overrides;
  return overrides;
}

std::map<int32_t, int>& OpenErrors() {
  static std::map<int32_t, int> errors;
  return errors;
}

}  // namespace

void SerialMapDevice(int32_t port, std::string path) { Overrides()[port] = std::move(path); }

std::string SerialDevicePath(int32_t port) {
  const auto mapped = Overrides().find(port);
  if (mapped != Overrides().end()) return mapped->second;
  if (port < 1) return std::string();
  return "/dev/ttyS" + std::to_string(port - 1);
}

int SerialOpenError(int32_t port) {
  const auto error = OpenErrors().find(port);
  return error == OpenErrors().end() ? 0 : error->second;
}

void SerialNoteOpenError(int32_t port, int error) { OpenErrors()[port] = error; }

void SerialResetDeviceMap() {
  Overrides().clear();
  OpenErrors().clear();
}

}  // namespace pelox
