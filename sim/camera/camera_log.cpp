#include "sim/camera/camera_log.h"

#include <algorithm>
#include <cstdio>

#include "transport/hex_text.h"

namespace pelox::sim {

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::ACCEPTED: return "accepted";
    case Verdict::DUPLICATE: return "duplicate";
    case Verdict::BAD_CHECKSUM: return "bad checksum";
    case Verdict::BAD_SEQUENCE: return "bad sequence";
    case Verdict::MALFORMED: return "malformed";
    case Verdict::UNEXPECTED: return "unexpected";
    case Verdict::REFUSED: return "refused";
    case Verdict::GARBLED: return "garbled";
    case Verdict::INCOMPLETE: return "incomplete";
    case Verdict::IGNORED: return "ignored";
    case Verdict::FAULTED: return "faulted";
    case Verdict::SENT: return "sent";
  }
  return "?";
}

void CameraLog::Add(uint64_t time_ms, Direction direction, std::span<const uint8_t> bytes,
                    Verdict verdict, std::string note) {
  entries_.push_back(
      LogEntry{time_ms, direction, {bytes.begin(), bytes.end()}, verdict, std::move(note)});
}

size_t CameraLog::Count(Direction direction, Verdict verdict) const {
  return static_cast<size_t>(std::count_if(
      entries_.begin(), entries_.end(),
      [&](const LogEntry& e) { return e.direction == direction && e.verdict == verdict; }));
}

std::string CameraLog::Describe() const {
  // Long units are shown by their first bytes; the length tells the rest.
  constexpr size_t SHOWN_BYTES = 12;
  std::string text;
  char field[32];
  for (const LogEntry& entry : entries_) {
    std::snprintf(field, sizeof field, "%8llu ms %s",
                  static_cast<unsigned long long>(entry.time_ms),
                  entry.direction == Direction::FROM_HOST ? "<-" : "->");
    text += field;
    if (!entry.bytes.empty()) text += " " + HexText(entry.bytes, " ", SHOWN_BYTES);
    if (entry.bytes.size() > SHOWN_BYTES) {
      std::snprintf(field, sizeof field, " (%zu bytes)", entry.bytes.size());
      text += field;
    }
    text += " : ";
    text += VerdictName(entry.verdict);
    if (!entry.note.empty()) text += " (" + entry.note + ")";
    text += '\n';
  }
  return text;
}

}  // namespace pelox::sim
