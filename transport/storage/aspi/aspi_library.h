#pragma once
// The ASPI library module shared by every link. Its entry points stay valid
// for as long as any link may still issue a storage command.

namespace pelox {

bool AspiLibraryLoaded();
// Loads the library when it is not loaded; false when it cannot be loaded.
bool AspiLibraryLoad();
// A link no longer needs the library.
void AspiLibraryRelease();

}  // namespace pelox
