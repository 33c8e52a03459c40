#include "transport/storage/aspi/aspi_library.h"

#include <mutex>

#include "platform/aspi.h"
#include "platform/thread.h"
#include "transport/storage/aspi/aspi_status.h"

namespace pelox {
namespace {

Mutex library_mutex;
AspiModuleHandle library_module = nullptr;
int32_t link_references = 0;
bool operations_hold = false;

bool EnsureLoaded() {
  if (library_module == nullptr) library_module = AspiModuleLoad();
  return library_module != nullptr;
}

void UnloadWhenUnused() {
  if (link_references > 0 || operations_hold || library_module == nullptr) return;
  AspiModuleUnload(library_module);
  library_module = nullptr;
}

}  // namespace

bool AspiLibraryLoaded() {
  std::lock_guard lock(library_mutex);
  return library_module != nullptr;
}

bool AspiLibraryLoad() {
  std::lock_guard lock(library_mutex);
  if (!EnsureLoaded()) return false;
  ++link_references;
  return true;
}

void AspiLibraryRelease() {
  std::lock_guard lock(library_mutex);
  if (link_references == 0) return;
  --link_references;
  UnloadWhenUnused();
}

bool AspiLibraryHoldForOperations() {
  std::lock_guard lock(library_mutex);
  if (operations_hold) return true;
  operations_hold = EnsureLoaded();
  return operations_hold;
}

void AspiLibraryDropOperationsHold() {
  std::lock_guard lock(library_mutex);
  operations_hold = false;
  UnloadWhenUnused();
}

uint32_t AspiLibrarySupportInfo() {
  std::lock_guard lock(library_mutex);
  if (library_module == nullptr) return uint32_t{SS_FAILED_INIT} << 8;
  return AspiModuleSupportInfo(library_module);
}

uint32_t AspiLibrarySend(std::span<uint8_t> request, std::span<uint8_t> data,
                         EventHandle completion) {
  AspiModuleHandle module = nullptr;
  {
    std::lock_guard lock(library_mutex);
    module = library_module;
  }
  // The command may wait on the device; it runs outside the lock. A caller
  // holds a reference, so the module stays loaded meanwhile.
  return module != nullptr ? AspiModuleSend(module, request, data, completion) : SS_FAILED_INIT;
}

}  // namespace pelox
