#include "link/library_version.h"

namespace pelox {

std::string_view LibraryVersion() { return PELOX_VERSION_STRING; }

}  // namespace pelox
