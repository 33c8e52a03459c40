#pragma once
/// @file
/// Choosing the storage pipe's variant for the running system, once, before
/// the first link: the one storage call a program makes itself.
#include <cstdint>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

/// The storage variant in force (StorageMode).
enum StorageVariant : int32_t {
  STORAGE_MODE_NONE = 0,
  STORAGE_MODE_PASS_THROUGH = 1,
  STORAGE_MODE_ASPI = 2,
  STORAGE_MODE_SG_IO = 3,
};

/// The StorageVariant in force; STORAGE_MODE_NONE before StorageTransportInit.
int32_t StorageMode();
/// StorageTransportInit's one request that chooses a variant.
inline constexpr int32_t STORAGE_INIT_REQUEST = 1;
/// What StorageTransportInit gives.
enum StorageInitResult : int32_t { STORAGE_INIT_NO_ASPI = 0, STORAGE_INIT_DONE = 1 };
/// Chooses the storage variant for the running system when `request` is
/// STORAGE_INIT_REQUEST; any other request does nothing. Call it once,
/// before the first link: a search of the storage pipe before it gives
/// LINK_ERROR_STORAGE_NOT_INITIALISED. Returns STORAGE_INIT_DONE (also when
/// the system has no variant), or STORAGE_INIT_NO_ASPI when the ASPI library
/// would not stay loaded.
int32_t StorageTransportInit(int32_t request);
/// Back to no variant and not initialised; for tests.
PELOX_TEST_HOOK void StorageResetState();

}  // namespace pelox
PELOX_API_END
