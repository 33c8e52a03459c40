#include "app/terminal/link_event_text.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "link/packet.h"
#include "transport/byte_order.h"

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

// What a camera request asks for, from its class and the byte after it.
std::string RequestText(std::span<const uint8_t> payload) {
  if (payload.size() < 2) return {};
  const std::string id = std::to_string(payload[1]);
  switch (payload[0]) {
    case REQUEST_SET: return ", set property " + id;
    case REQUEST_GET: return ", get property " + id;
    case REQUEST_ACTION: return ", action " + id;
    case REQUEST_WRITE: return ", write data kind " + id;
    case REQUEST_READ: return ", read data kind " + id;
    case REQUEST_WRITE_LARGE: return ", write data kind " + id + " in large blocks";
    case REQUEST_READ_LARGE: return ", read data kind " + id + " in large blocks";
    default: return ", request class " + std::to_string(payload[0]);
  }
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
  std::string line = sent ? "frame out: " : "frame in: ";
  if (packet.size() < PACKET_HEADER_SIZE) {
    return line + "cut short, " + std::to_string(packet.size()) + " bytes";
  }
  const uint8_t type = packet[0];
  const size_t length = LoadLe16(packet.subspan<2, 2>());
  const std::span<const uint8_t> payload =
      packet.subspan(PACKET_HEADER_SIZE)
          .first(std::min(length, packet.size() - PACKET_HEADER_SIZE));
  switch (type) {
    case FRAME_COMMAND: {
      line += "command ";
      line += static_cast<char>(packet[1] >= ' ' && packet[1] < 0x7F ? packet[1] : '?');
      line += ", " + std::to_string(length) + " bytes";
      if (packet[1] == COMMAND_CAMERA) line += RequestText(payload);
      return line;
    }
    case FRAME_DATA_MORE:
    case FRAME_DATA_LAST:
      return line + (type == FRAME_DATA_MORE ? "data-more #" : "data-last #") +
             std::to_string(packet[1]) + ", " + std::to_string(length) + " bytes";
    default:
      return line + "unknown type " + std::to_string(type) + ", " + std::to_string(length) +
             " bytes";
  }
}

}  // namespace pelox
