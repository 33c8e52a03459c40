#include "transport/storage/storage_ops.h"

namespace pelox {
namespace {

StorageOps storage_ops;
int32_t storage_mode = STORAGE_MODE_NONE;

}  // namespace

const StorageOps& StorageOpsTable() { return storage_ops; }
int32_t StorageMode() { return storage_mode; }

int32_t StorageTransportInit(int32_t request) {
  // No variant is built in yet: the pipe stays closed and links fall back to
  // the serial ports.
  (void)request;
  return 1;
}

void StorageResetState() {
  storage_ops = StorageOps{};
  storage_mode = STORAGE_MODE_NONE;
}

}  // namespace pelox
