#pragma once
// Status codes of ASPI requests (SRB_Status and the support-info status).
#include <cstdint>

namespace pelox {

inline constexpr uint8_t SS_PENDING = 0x00;
inline constexpr uint8_t SS_COMP = 0x01;
inline constexpr uint8_t SS_ABORTED = 0x02;
inline constexpr uint8_t SS_ERR = 0x04;
inline constexpr uint8_t SS_INVALID_HA = 0x81;
inline constexpr uint8_t SS_NO_DEVICE = 0x82;
inline constexpr uint8_t SS_FAILED_INIT = 0xE4;

}  // namespace pelox
