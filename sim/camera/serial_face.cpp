#include "sim/camera/serial_face.h"

#include "transport/byte_order.h"

namespace pelox::sim {

SerialFace::SerialFace(PacketEndpoint& endpoint, CameraLog& log) : endpoint_(endpoint), log_(log) {}

void SerialFace::Receive(std::span<const uint8_t> bytes, uint32_t baud, uint64_t now_ms) {
  if (bytes.empty() || endpoint_.Unplugged()) return;
  std::span<const uint8_t> heard = bytes;
  bool unplug_now = false;
  if (unplug_after_bytes_) {
    const uint64_t left =
        *unplug_after_bytes_ > bytes_received_ ? *unplug_after_bytes_ - bytes_received_ : 0;
    if (left <= heard.size()) {
      heard = heard.first(static_cast<size_t>(left));
      unplug_now = true;
    }
  }
  bytes_received_ += heard.size();
  if (!pending_.empty() && now_ms - last_byte_ms_ > PACKET_IDLE_LIMIT_MS) {
    log_.Add(now_ms, Direction::FROM_HOST, pending_, Verdict::INCOMPLETE);
    pending_.clear();
  }
  last_byte_ms_ = now_ms;
  if (baud != baud_) {
    // At another speed the camera's receiver sees only framing errors,
    // which also spoil any packet it was assembling.
    if (!heard.empty()) log_.Add(now_ms, Direction::FROM_HOST, heard, Verdict::GARBLED);
    if (!pending_.empty()) log_.Add(now_ms, Direction::FROM_HOST, pending_, Verdict::INCOMPLETE);
    pending_.clear();
  } else {
    pending_.insert(pending_.end(), heard.begin(), heard.end());
    CutUnits(now_ms);
  }
  if (unplug_now) endpoint_.Unplug(now_ms);
}

void SerialFace::CutUnits(uint64_t now_ms) {
  const std::span<const uint8_t> bytes = pending_;
  size_t used = 0;
  while (used < bytes.size()) {
    const std::span<const uint8_t> rest = bytes.subspan(used);
    size_t unit_size = 1;  // a control byte, or a stray byte the endpoint judges
    if (IsFrameType(rest[0])) {
      if (rest.size() < FRAME_HEADER_SIZE) break;
      const size_t length = LoadLe16(rest.subspan<2, 2>());
      // A length no frame can have: hand over the header alone to be refused.
      unit_size = length > LARGE_PAYLOAD ? FRAME_HEADER_SIZE : length + FRAME_OVERHEAD;
      if (rest.size() < unit_size) break;
    }
    endpoint_.Receive(rest.first(unit_size), now_ms);
    used += unit_size;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
}

std::optional<LineBytes> SerialFace::TakeReady(uint64_t now_ms) {
  std::optional<CameraUnit> unit = endpoint_.TakeReady(now_ms);
  if (!unit) return std::nullopt;
  LineBytes line{unit->ready_ms, baud_, std::move(unit->bytes)};
  if (unit->then_speed_index) baud_ = SPEED_TABLE[*unit->then_speed_index];
  return line;
}

}  // namespace pelox::sim
