#pragma once
// The storage pipe's operations table, filled once by StorageTransportInit
// with the variant that suits the running system; the library's own.
#include <cstdint>
#include <span>

#include "transport/port/port_types.h"
#include "transport/storage/storage_init.h"

namespace pelox {

struct StorageOps {
  int32_t (*Open)(int32_t type, PortState* link) = nullptr;
  int32_t (*Discover)(PortState* link) = nullptr;
  int32_t (*Close)(PortState* link) = nullptr;
  int32_t (*Read)(PortState* link, std::span<uint8_t> buffer, int32_t timeout) = nullptr;
  int32_t (*Write)(PortState* link, std::span<const uint8_t> data) = nullptr;
  int32_t (*ScsiIn)(PortState* link, std::span<uint8_t> buffer) = nullptr;
  int32_t (*ScsiOut)(PortState* link, std::span<const uint8_t> buffer) = nullptr;
};

// The table in force; its entries are null until a variant is chosen.
const StorageOps& StorageOpsTable();
// Whether StorageTransportInit has run its request (whatever it chose): a
// storage search before then is the program's mistake, not a missing camera.
bool StorageTransportInitialised();

}  // namespace pelox
