#pragma once
// The link's events told to people and scripts: a line for -v, an object
// for the JSON stream, and each frame decoded for the support trace. Pure
// functions, checked without a camera.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

#include "link/link_events.h"

namespace pelox {

// "no answer from the camera for 3.6 s, frame 14 sent again, try 2 of 4";
// empty for the events that are no news to a person (frames, bytes).
std::string LinkEventLine(const LinkEvent& event);
// The same as a JSON object; null where the line is empty.
nlohmann::json LinkEventJson(const LinkEvent& event);
// "frame out: data-last #3, 2048 bytes" or "frame out: command C, 2 bytes,
// get property 18"; the frame may be cut or malformed.
std::string FrameTraceLine(bool sent, std::span<const uint8_t> packet);

}  // namespace pelox
