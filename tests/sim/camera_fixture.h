#pragma once
// A virtual camera driven unit by unit, with the time passed in.
#include <cstdint>
#include <span>
#include <vector>

#include "sim/camera/virtual_camera.h"

namespace pelox::test {

class CameraFixture {
 protected:
  explicit CameraFixture(sim::CameraConfig config = {}) : camera_(std::move(config)) {}

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
};

}  // namespace pelox::test
