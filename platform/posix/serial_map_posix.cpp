#include <map>
#include <mutex>
#include <utility>

#include "platform/serial_map.h"
#include "platform/serial_map_internal.h"
#include "platform/thread.h"

namespace pelox {
namespace {

// Front ends map ports while links on other threads open theirs and count
// what they heard: the three maps change under this lock.
Mutex& MapLock() {
  static Mutex lock;
  return lock;
}
using Hold = std::lock_guard<Mutex>;

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
  const Hold hold(MapLock());
  Overrides()[port] = std::move(path);
  Heard().erase(port);
}

std::string SerialDevicePath(int32_t port) {
  const Hold hold(MapLock());
  const auto mapped = Overrides().find(port);
  if (mapped != Overrides().end()) return mapped->second;
  if (port < 1) return std::string();
  return "/dev/ttyS" + std::to_string(port - 1);
}

int SerialOpenError(int32_t port) {
  const Hold hold(MapLock());
  const auto error = OpenErrors().find(port);
  return error == OpenErrors().end() ? 0 : error->second;
}

void SerialNoteOpenError(int32_t port, int error) {
  const Hold hold(MapLock());
  OpenErrors()[port] = error;
}

uint64_t SerialHeardBytes(int32_t port) {
  const Hold hold(MapLock());
  const auto heard = Heard().find(port);
  return heard == Heard().end() ? 0 : heard->second;
}

void SerialNoteHeard(int32_t port, uint64_t count) {
  const Hold hold(MapLock());
  Heard()[port] += count;
}

void SerialResetDeviceMap() {
  const Hold hold(MapLock());
  Overrides().clear();
  OpenErrors().clear();
  Heard().clear();
}

}  // namespace pelox
