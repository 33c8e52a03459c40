#pragma once
// A virtual camera driven unit by unit, with the time passed in.
#include <cstdint>
#include <span>
#include <vector>

#include "sim/camera/virtual_camera.h"
#include "tests/byte_pattern.h"

namespace pelox::test {

using Bytes = std::vector<uint8_t>;

// Kinds a test camera offers besides the contract's: one read from `blob_`,
// one whose writes land in `written_`.
inline constexpr uint8_t KIND_BLOB = 40;
inline constexpr uint8_t KIND_SINK = 41;

class CameraFixture {
 protected:
  explicit CameraFixture(sim::CameraConfig config = {}) : camera_(std::move(config)) {
    camera_.Model().RegisterReadableKind(KIND_BLOB, [this](uint64_t) { return blob_; });
    camera_.Model().RegisterWritableKind(KIND_SINK,
                                         [this](std::span<const uint8_t> data, uint64_t) {
                                           written_.emplace_back(data.begin(), data.end());
                                           return true;
                                         });
  }

  void Send(std::span<const uint8_t> unit) { camera_.Endpoint().Receive(unit, now_ms_); }
  void Send(std::initializer_list<uint8_t> unit) { Send(std::vector<uint8_t>(unit)); }

  // Every unit the camera has ready by now, in order.
  std::vector<std::vector<uint8_t>> Replies() {
    std::vector<std::vector<uint8_t>> replies;
    while (auto unit = camera_.Endpoint().TakeReady(now_ms_)) replies.push_back(unit->bytes);
    return replies;
  }
  // The one reply to a unit.
  std::vector<uint8_t> Exchange(std::span<const uint8_t> unit) {
    Send(unit);
    const auto replies = Replies();
    return replies.size() == 1 ? replies[0] : std::vector<uint8_t>{};
  }

  sim::Verdict LastVerdictFromHost() const {
    const auto& entries = camera_.Log().Entries();
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
      if (entry->direction == sim::Direction::FROM_HOST) return entry->verdict;
    }
    return sim::Verdict::IGNORED;
  }

  sim::VirtualCamera camera_;
  uint64_t now_ms_ = 1000;
  Bytes blob_ = Pattern(5000);
  std::vector<Bytes> written_;
};

}  // namespace pelox::test
