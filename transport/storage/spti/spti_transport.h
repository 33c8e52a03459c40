#pragma once
// The storage pipe through SCSI pass-through requests on the camera's drive.
#include "transport/storage/storage_ops.h"

namespace pelox {

inline constexpr int32_t SPTI_OPEN_TIMEOUT_SECONDS = 12;
inline constexpr int32_t SPTI_WRITE_TIMEOUT_SECONDS = 2;

const StorageOps& SptiOperations();

}  // namespace pelox
