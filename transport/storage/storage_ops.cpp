#include "transport/storage/storage_ops.h"

#include "platform/os_version.h"
#include "transport/storage/aspi/aspi_library.h"
#include "transport/storage/aspi/aspi_transport.h"
#include "transport/storage/sg/sg_transport.h"
#include "transport/storage/spti/spti_transport.h"

namespace pelox {
namespace {

constexpr uint32_t WINDOWS_4 = 4;
constexpr uint32_t NT_5 = 5;
constexpr uint32_t WINDOWS_95_MINOR = 0;

StorageOps storage_ops;
int32_t storage_mode = STORAGE_MODE_NONE;
bool initialised = false;

// Windows 98 and Me: 4.x other than 95's 4.0.
bool TakesAspi(const OsVersion& version) {
  return version.platform_id == OS_PLATFORM_WINDOWS_9X && version.major == WINDOWS_4 &&
         version.minor != WINDOWS_95_MINOR;
}

// NT 5 (2000, XP) and every NT after it.
bool TakesPassThrough(const OsVersion& version) {
  return version.platform_id == OS_PLATFORM_WINDOWS_NT && version.major >= NT_5;
}

void Choose(const StorageOps& operations, int32_t mode) {
  storage_ops = operations;
  storage_mode = mode;
}

}  // namespace

const StorageOps& StorageOpsTable() { return storage_ops; }
int32_t StorageMode() { return storage_mode; }
bool StorageTransportInitialised() { return initialised; }

int32_t StorageTransportInit(int32_t request) {
  if (request != STORAGE_INIT_REQUEST) return STORAGE_INIT_DONE;
  initialised = true;
  OsVersion version;
  if (!OsVersionQuery(version)) return STORAGE_INIT_DONE;
  if (TakesAspi(version)) {
    // The table takes the library's entry points only while it holds the
    // library; without it the pipe stays closed and links use serial ports.
    if (!AspiLibraryHoldForOperations()) return STORAGE_INIT_NO_ASPI;
    Choose(AspiOperations(), STORAGE_MODE_ASPI);
  } else if (TakesPassThrough(version)) {
    Choose(SptiOperations(), STORAGE_MODE_PASS_THROUGH);
  } else if (version.platform_id == OS_PLATFORM_LINUX) {
    Choose(SgOperations(), STORAGE_MODE_SG_IO);
  }
  return STORAGE_INIT_DONE;
}

void StorageResetState() {
  storage_ops = StorageOps{};
  storage_mode = STORAGE_MODE_NONE;
  initialised = false;
  AspiLibraryDropOperationsHold();
}

}  // namespace pelox
