#include "link/packet_text.h"

#include <algorithm>

#include "link/packet.h"
#include "transport/byte_order.h"

namespace pelox {
namespace {

constexpr uint8_t FIRST_PRINTABLE = ' ';
constexpr uint8_t LAST_PRINTABLE = 0x7E;

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

std::string PacketDescription(std::span<const uint8_t> packet) {
  if (packet.size() < PACKET_HEADER_SIZE) {
    return "cut short, " + std::to_string(packet.size()) + " bytes";
  }
  const uint8_t type = packet[0];
  const size_t length = LoadLe16(packet.subspan<2, 2>());
  const std::span<const uint8_t> payload =
      packet.subspan(PACKET_HEADER_SIZE)
          .first(std::min(length, packet.size() - PACKET_HEADER_SIZE));
  switch (type) {
    case FRAME_COMMAND: {
      const uint8_t code = packet[1];
      std::string text = "command ";
      text += static_cast<char>(code >= FIRST_PRINTABLE && code <= LAST_PRINTABLE ? code : '?');
      text += ", " + std::to_string(length) + " bytes";
      if (code == COMMAND_CAMERA) text += RequestText(payload);
      return text;
    }
    case FRAME_DATA_MORE:
    case FRAME_DATA_LAST:
      return (type == FRAME_DATA_MORE ? "data-more #" : "data-last #") + std::to_string(packet[1]) +
             ", " + std::to_string(length) + " bytes";
    default:
      return "unknown type " + std::to_string(type) + ", " + std::to_string(length) + " bytes";
  }
}

}  // namespace pelox
