#pragma once
// The sense bytes a storage device returned with a refused command, as a
// person and a script read them: beside the pipe that keeps the refusal, so
// that the sense format is known in one layer.
#include <cstdint>
#include <span>
#include <string>

namespace pelox {

// "SCSI sense key 5, ASC 24h, ASCQ 00h" for the fixed and descriptor
// formats, "SCSI sense 12 34" for anything else; empty for no bytes.
std::string SenseText(std::span<const uint8_t> sense);
// Two hex digits a byte, no spaces: "700005".
std::string SenseHex(std::span<const uint8_t> sense);

}  // namespace pelox
