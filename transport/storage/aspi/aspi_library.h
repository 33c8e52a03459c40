#pragma once
// The ASPI library module shared by every link. Its entry points stay valid
// for as long as any link may still issue a storage command.
//
// The module is counted: every link that loads it holds one reference, and
// the storage operations table holds one from the moment it takes the ASPI
// variant. The module is unloaded only when nothing holds it, so deleting a
// link can never leave another link or the table with a dangling entry point.
#include <cstdint>
#include <span>

#include "platform/devices.h"

namespace pelox {

bool AspiLibraryLoaded();
// Takes a link's reference, loading the library when it is not loaded; false
// when it cannot be loaded.
bool AspiLibraryLoad();
// A link no longer needs the library; a release without a reference is ignored.
void AspiLibraryRelease();

// The operations table's own reference.
bool AspiLibraryHoldForOperations();
void AspiLibraryDropOperationsHold();

// The two entry points; without a loaded library they report failure.
uint32_t AspiLibrarySupportInfo();
uint32_t AspiLibrarySend(std::span<uint8_t> request, std::span<uint8_t> data,
                         EventHandle completion);

}  // namespace pelox
