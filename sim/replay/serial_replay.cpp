#include "sim/replay/serial_replay.h"

#include <algorithm>
#include <map>

namespace pelox::sim {
namespace {

// The port whose events are played: the one the camera answered on most.
int32_t CameraPort(const Recording& recording) {
  std::map<int32_t, size_t> received;
  int32_t port = 0;
  for (const RecordedEvent& event : recording.events) {
    if (event.kind == EventKind::OPEN) port = event.com;
    if (event.kind == EventKind::FROM) received[port] += event.bytes.size();
  }
  const auto most =
      std::max_element(received.begin(), received.end(),
                       [](const auto& a, const auto& b) { return a.second < b.second; });
  return most == received.end() ? 0 : most->first;
}

}  // namespace

SerialReplay::SerialReplay(const Recording& recording, ReplayTolerance tolerance)
    : matcher_(tolerance) {
  const int32_t played = CameraPort(recording);
  int32_t port = 0;
  uint32_t baud = 0;
  for (const RecordedEvent& event : recording.events) {
    if (event.kind == EventKind::OPEN) port = event.com;
    if (port != played) continue;
    if (event.kind == EventKind::TO) {
      units_.push_back({expected_.size(), event.line});
      expected_.insert(expected_.end(), event.bytes.begin(), event.bytes.end());
      const std::vector<ByteRule> rules = RulesOf(event, 0);
      rules_.insert(rules_.end(), rules.begin(), rules.end());
    } else if (event.kind == EventKind::FROM) {
      replies_.push_back({expected_.size(), baud, event.bytes});
    } else if (event.kind == EventKind::SPEED) {
      baud = event.baud;
    } else if (event.kind == EventKind::FAIL) {
      hang_up_at_ = expected_.size();
      break;
    }
  }
}

bool SerialReplay::Receive(std::span<const uint8_t> got) {
  if (!divergence_.empty()) return false;
  for (size_t i = 0; i < got.size(); ++i, ++received_) {
    if (received_ >= expected_.size()) {
      divergence_ = "the host sent " + std::to_string(got.size() - i) +
                    " bytes more than recorded at byte " + std::to_string(received_) + ": got " +
                    HexFrom(got, i);
      return false;
    }
    if (!matcher_.Accepts(expected_[received_], got[i], rules_[received_])) {
      divergence_ = "first divergence at host byte " + std::to_string(received_) + " (line " +
                    std::to_string(LineAt(received_)) + " of the recording): expected " +
                    HexFrom(expected_, received_) + ", got " + HexFrom(got, i);
      return false;
    }
  }
  return true;
}

std::optional<std::vector<uint8_t>> SerialReplay::TakeReady(uint32_t host_baud) {
  if (!ReplyDue() || WaitingForSpeed(host_baud)) return std::nullopt;
  std::vector<uint8_t> bytes = std::move(replies_[next_reply_++].bytes);
  sent_ += bytes.size();
  return bytes;
}

bool SerialReplay::WaitingForSpeed(uint32_t host_baud) const {
  if (!ReplyDue()) return false;
  const uint32_t baud = replies_[next_reply_].baud;
  return baud != 0 && host_baud != 0 && baud != host_baud;
}

bool SerialReplay::HangUpDue() const {
  return divergence_.empty() && hang_up_at_ && received_ >= *hang_up_at_ &&
         next_reply_ == replies_.size();
}

bool SerialReplay::Complete() const {
  return divergence_.empty() && received_ == expected_.size() && next_reply_ == replies_.size();
}

std::string SerialReplay::Shortfall() const {
  if (received_ < expected_.size()) {
    return "the host stopped at byte " + std::to_string(received_) + " of " +
           std::to_string(expected_.size()) + " (line " + std::to_string(LineAt(received_)) +
           " of the recording): expected " + HexFrom(expected_, received_);
  }
  return "the host was still to read " + std::to_string(replies_.size() - next_reply_) +
         " recorded replies";
}

bool SerialReplay::ReplyDue() const {
  return divergence_.empty() && next_reply_ < replies_.size() &&
         received_ >= replies_[next_reply_].after;
}

size_t SerialReplay::LineAt(size_t offset) const {
  const auto unit = std::upper_bound(units_.begin(), units_.end(), offset,
                                     [](size_t at, const Unit& u) { return at < u.start; });
  return unit == units_.begin() ? 0 : std::prev(unit)->line;
}

}  // namespace pelox::sim
