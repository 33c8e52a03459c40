#pragma once
/// @file
/// A short English text for each code of the link's code spaces (errors,
/// states, packet verdicts), for log lines and test failure messages; the
/// dialog's own messages come from the string table.
#include <cstdint>
#include <string_view>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

/// The text of a link error code (LINK_OK, LINK_ERROR_*, LINK_RESTART);
/// "unknown link error" for any other value.
std::string_view LinkErrorText(int32_t code);
/// The text of a LINK_STATE_*; "unknown link state" for any other value.
std::string_view LinkStateText(int32_t state);
/// The text of a PACKET_* verdict; "unknown packet verdict" for any other value.
std::string_view PacketVerdictText(int32_t verdict);

}  // namespace pelox
PELOX_API_END
