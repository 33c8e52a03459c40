#pragma once
/// @file
/// A short English text for each code of the transport's code spaces (port
/// results, storage variants and their setup, vendor lookups), for log lines
/// and test failure messages.
#include <cstdint>
#include <string_view>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

/// "unknown ..." for a value that names nothing; a port result above PORT_OK
/// is a byte count.
std::string_view PortResultText(int32_t result);
/// The text of a StorageVariant.
std::string_view StorageVariantText(int32_t mode);
/// The text of a StorageInitResult.
std::string_view StorageInitResultText(int32_t result);
/// The text of a VendorLookup result.
std::string_view VendorLookupText(int32_t result);
/// The text of a DiscoverySystemError value.
std::string_view DiscoverySystemErrorText(int32_t error);

}  // namespace pelox
PELOX_API_END
