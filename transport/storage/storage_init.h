#pragma once
// Choosing the storage pipe's variant for the running system, once, before
// the first link: the one storage call a program makes itself.
#include <cstdint>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

// The storage variant in force (StorageMode).
enum StorageVariant : int32_t {
  STORAGE_MODE_NONE = 0,
  STORAGE_MODE_PASS_THROUGH = 1,
  STORAGE_MODE_ASPI = 2,
  STORAGE_MODE_SG_IO = 3,
};

int32_t StorageMode();
// StorageTransportInit's one request that chooses a variant; any other
// request does nothing. The result is STORAGE_INIT_DONE, or
// STORAGE_INIT_NO_ASPI when the ASPI library would not stay loaded.
inline constexpr int32_t STORAGE_INIT_REQUEST = 1;
enum StorageInitResult : int32_t { STORAGE_INIT_NO_ASPI = 0, STORAGE_INIT_DONE = 1 };
int32_t StorageTransportInit(int32_t request);
// Back to no variant and not initialised; for tests.
PELOX_TEST_HOOK void StorageResetState();

}  // namespace pelox
PELOX_API_END
