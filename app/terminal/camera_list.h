#pragma once
// --list: every camera on the storage pipe and on the named serial ports,
// with what it says of itself. Only reads: nothing is written to a camera.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace pelox {

struct ListedCamera {
  std::string port;
  std::string maker;
  std::string version;
  int32_t battery = -1;  // -1 when the camera did not say
};

// Searches the storage pipe, then COM1 to COM `serial_ports` as mapped;
// once `stop` is non-zero, ends with the cameras found so far.
std::vector<ListedCamera> ListCameras(int32_t serial_ports, const std::atomic<int>& stop);

}  // namespace pelox
