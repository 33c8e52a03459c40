#pragma once
// The storage pipe's operations table, filled once by StorageTransportInit
// with the variant that suits the running system.
#include <cstdint>
#include <span>

#include "platform/export.h"
#include "transport/port/port_types.h"

PELOX_API_BEGIN
namespace pelox {

// The storage variant in force (StorageMode).
enum StorageVariant : int32_t {
  STORAGE_MODE_NONE = 0,
  STORAGE_MODE_PASS_THROUGH = 1,
  STORAGE_MODE_ASPI = 2,
  STORAGE_MODE_SG_IO = 3,
};

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
int32_t StorageMode();
// StorageTransportInit's one request that chooses a variant; any other
// request does nothing. The result is STORAGE_INIT_DONE, or
// STORAGE_INIT_NO_ASPI when the ASPI library would not stay loaded.
inline constexpr int32_t STORAGE_INIT_REQUEST = 1;
enum StorageInitResult : int32_t { STORAGE_INIT_NO_ASPI = 0, STORAGE_INIT_DONE = 1 };
int32_t StorageTransportInit(int32_t request);
// Back to no variant; for tests.
PELOX_TEST_HOOK void StorageResetState();

}  // namespace pelox
PELOX_API_END
