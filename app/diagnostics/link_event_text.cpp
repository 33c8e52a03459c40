#include "app/diagnostics/link_event_text.h"

#include <array>
#include <cstdio>

#include "link/packet_text.h"

namespace pelox {
namespace {

constexpr double MS_PER_SECOND = 1000.0;

std::string Seconds(uint32_t ms) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.1f s", ms / MS_PER_SECOND);
  return text.data();
}

std::string TryCount(const LinkEvent& event) {
  return std::to_string(event.try_number) + " of " + std::to_string(event.tries);
}

}  // namespace

std::string LinkEventLine(const LinkEvent& event) {
  switch (event.kind) {
    case LinkEventKind::FRAME_SENT_AGAIN: {
      const std::string what =
          event.frame == 0 ? "the request" : "frame " + std::to_string(event.frame);
      const std::string cause = event.nak
                                    ? "the camera answered NAK"
                                    : "no answer from the camera for " + Seconds(event.silent_ms);
      return cause + ", " + what + " sent again, try " + TryCount(event);
    }
    case LinkEventKind::STILL_WAITING:
      return "no answer from the camera for " + Seconds(event.silent_ms) +
             ", waiting again, read " + TryCount(event);
    case LinkEventKind::RECONNECTING:
      return "the camera went away; connecting again, try " + TryCount(event);
    default: return {};
  }
}

nlohmann::json LinkEventJson(const LinkEvent& event) {
  switch (event.kind) {
    case LinkEventKind::FRAME_SENT_AGAIN:
      return {{"kind", "resend"},
              {"frame", event.frame},
              {"try", event.try_number},
              {"tries", event.tries},
              {"answer", event.nak ? "nak" : "none"},
              {"silent_ms", event.silent_ms}};
    case LinkEventKind::STILL_WAITING:
      return {{"kind", "wait"},
              {"read", event.try_number},
              {"reads", event.tries},
              {"silent_ms", event.silent_ms}};
    case LinkEventKind::RECONNECTING:
      return {{"kind", "reconnect"}, {"try", event.try_number}, {"tries", event.tries}};
    default: return nullptr;
  }
}

std::string FrameTraceLine(bool sent, std::span<const uint8_t> packet) {
  return (sent ? "frame out: " : "frame in: ") + PacketDescription(packet);
}

}  // namespace pelox
