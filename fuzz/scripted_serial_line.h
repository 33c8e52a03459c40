#pragma once
// A serial line for fuzzing: every read takes the next bytes of a script,
// writes vanish, and time stands still but for sleeps.
#include <cstdint>
#include <span>

namespace pelox::fuzz {

// The bytes the camera "sends"; a read past their end times out.
void ScriptSerialLine(std::span<const uint8_t> incoming);

}  // namespace pelox::fuzz
