#pragma once
// Files of the platform boundary held in memory, with the failures a real
// file can show: a size that cannot be read, a position that cannot be set,
// a failing read, and a read that ends before the size said.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/devices.h"

namespace pelox {

struct PlatformFile {
  std::vector<uint8_t> bytes;
  size_t position = 0;
  bool size_fails = false;
  bool rewind_fails = false;
  bool read_fails = false;
  // Reads end this many bytes before the end of `bytes`.
  size_t unreadable_tail = 0;
};

}  // namespace pelox
