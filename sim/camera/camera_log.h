#pragma once
// What the camera saw and said: every unit in and out, with the camera's
// verdict on it. Tests assert on this record.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pelox::sim {

enum class Direction : uint8_t { FROM_HOST, TO_HOST };

enum class Verdict : uint8_t {
  ACCEPTED,      // a host unit the camera took and acted on
  DUPLICATE,     // a resent frame the camera had already taken: acknowledged again
  BAD_CHECKSUM,  // answered with NAK
  BAD_SEQUENCE,  // answered with NAK
  MALFORMED,     // not a frame the camera can read
  UNEXPECTED,    // well formed, but out of place or unknown
  REFUSED,       // answered with 0x11
  GARBLED,       // arrived at another line speed than the camera's
  INCOMPLETE,    // a partial packet the host never finished
  IGNORED,       // the camera was unplugged or the unit needs no answer
  FAULTED,       // a scripted or seeded fault changed what happened
  SENT,          // a unit the camera sent
};

struct LogEntry {
  uint64_t time_ms = 0;
  Direction direction = Direction::FROM_HOST;
  std::vector<uint8_t> bytes;
  Verdict verdict = Verdict::ACCEPTED;
  std::string note;
};

class CameraLog {
 public:
  void Add(uint64_t time_ms, Direction direction, std::span<const uint8_t> bytes, Verdict verdict,
           std::string note = {});
  const std::vector<LogEntry>& Entries() const { return entries_; }
  size_t Count(Direction direction, Verdict verdict) const;
  void Clear() { entries_.clear(); }
  // One line per entry, for failure messages and camsim's trace.
  std::string Describe() const;

 private:
  std::vector<LogEntry> entries_;
};

const char* VerdictName(Verdict verdict);

}  // namespace pelox::sim
