#include <map>
#include <utility>

#include "platform/serial_map.h"
#include "platform/serial_map_internal.h"

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

std::map<int32_t, uint64_t>& Heard() {
  static std::map<int32_t, uint64_t> heard;
  return heard;
}

}  // namespace

void SerialMapDevice(int32_t port, std::string path) {
  Overrides()[port] = std::move(path);
  Heard().erase(port);
}

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

uint64_t SerialHeardBytes(int32_t port) {
  const auto heard = Heard().find(port);
  return heard == Heard().end() ? 0 : heard->second;
}

void SerialNoteHeard(int32_t port, uint64_t count) { Heard()[port] += count; }

void SerialResetDeviceMap() {
  Overrides().clear();
  OpenErrors().clear();
  Heard().clear();
}

}  // namespace pelox
