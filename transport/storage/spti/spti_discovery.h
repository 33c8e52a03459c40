#pragma once
// Finding cameras among the removable drives.
#include <cstdint>
#include <span>
#include <string>

#include "transport/port/port_state.h"

namespace pelox {

// Room for every drive letter's root ("X:\" and its zero) and the closing zero.
inline constexpr size_t SPTI_DRIVE_STRINGS_SIZE = 26 * 4 + 1;

// Fills the device table with the cameras on removable drives other than A:;
// 0 when at least one was found, else -1. The link's request must be prepared.
int32_t SptiDiscover(PortState* link);
// "\\.\X:" for the root "X:\".
std::string SptiDeviceName(std::span<const char, 4> root);

}  // namespace pelox
