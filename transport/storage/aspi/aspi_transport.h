#pragma once
// The storage pipe through the ASPI library.
#include "transport/storage/storage_ops.h"

namespace pelox {

inline constexpr int32_t ASPI_WRITE_WAIT_SECONDS = 30;

const StorageOps& AspiOperations();

}  // namespace pelox
