#pragma once
// The storage pipe through Linux SG_IO on the camera's device node.
#include "transport/storage/storage_ops.h"

namespace pelox {

inline constexpr int32_t SG_WRITE_TIMEOUT_SECONDS = 2;
// A read's time-out below this would let the device fail at once.
inline constexpr int32_t SG_SHORTEST_TIMEOUT_SECONDS = 1;

const StorageOps& SgOperations();

}  // namespace pelox
