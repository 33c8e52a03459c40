#pragma once
/// @file
/// What a program sees of a port: the port types, the flow-control modes and
/// the port state, which the transport keeps to itself (a camera link holds
/// one; LinkPort hands it out).
#include <cstdint>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

/// Port types.
inline constexpr int32_t PORT_TYPE_NONE = -1;
inline constexpr int32_t PORT_TYPE_COM_FIRST = 1;
inline constexpr int32_t PORT_TYPE_COM_LAST = 9;
inline constexpr int32_t PORT_TYPE_STORAGE = 160;

/// Serial flow-control modes.
inline constexpr int32_t FLOW_HARDWARE = 0;
inline constexpr int32_t FLOW_XONXOFF = 1;
inline constexpr int32_t FLOW_NONE = 2;

struct PortState;

}  // namespace pelox
PELOX_API_END
