#pragma once
/// @file
/// The library's version: the macros for the program's compiler, the function
/// for the library the program runs with, which may be a newer one.
#include <string_view>

#include "platform/export.h"

#define PELOX_VERSION_MAJOR 1
#define PELOX_VERSION_MINOR 0
#define PELOX_VERSION_PATCH 0
#define PELOX_VERSION_STRING "1.0.0"
/// One number that orders versions: 10203 for 1.2.3.
#define PELOX_VERSION_NUMBER \
  (PELOX_VERSION_MAJOR * 10000 + PELOX_VERSION_MINOR * 100 + PELOX_VERSION_PATCH)

PELOX_API_BEGIN
namespace pelox {

/// The running library's version as "major.minor.patch".
std::string_view LibraryVersion();

}  // namespace pelox
PELOX_API_END
