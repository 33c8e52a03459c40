#pragma once
// A camera packet told in words, for traces: the link knows the frame types
// and request classes, so no reader of a trace parses headers itself.
#include <cstdint>
#include <span>
#include <string>

namespace pelox {

// "data-last #3, 2048 bytes" or "command C, 2 bytes, get property 18"; a
// packet cut short or of an unknown type is described as such.
std::string PacketDescription(std::span<const uint8_t> packet);

}  // namespace pelox
