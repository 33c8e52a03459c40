#pragma once
// A short English text for each link error code, for log lines and test
// failure messages; the dialog's own messages come from the string table.
#include <cstdint>
#include <string_view>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

// The text of a link error code (LINK_OK, LINK_ERROR_*, LINK_RESTART);
// "unknown link error" for any other value.
std::string_view LinkErrorText(int32_t code);

}  // namespace pelox
PELOX_API_END
