#pragma once
// A session recording read back: the header and each event, with the bytes
// decoded. The reader takes every minor version of the major it knows and
// refuses a newer major, whose events it could misread.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace pelox::sim {

inline constexpr int READABLE_MAJOR = 1;

enum class EventKind { OPEN, TO, FROM, SPEED, FAIL, CLOSE, SCSI, END, OTHER };

// Bytes the recording left out: the image's payload.
struct LeftOut {
  size_t at = 0;
  size_t size = 0;
};

struct RecordedEvent {
  size_t line = 0;  // in the file, from 1
  EventKind kind = EventKind::OTHER;
  int32_t com = 0;
  uint32_t baud = 0;
  std::string device;
  std::vector<uint8_t> bytes;  // left-out bytes are zeros here
  std::optional<LeftOut> left_out;
  // SCSI: the CDB, "none", "out" or "in", and "done", "check" or "failed".
  std::vector<uint8_t> cdb;
  std::string direction;
  std::string result;
  int exit_status = 0;
  std::string cause;
};

struct Recording {
  nlohmann::json header;
  std::vector<RecordedEvent> events;
};

// Reads `path`; nothing, with the line and what was wrong with it in
// `error`, when it is not a recording this reader can play.
std::optional<Recording> ReadRecording(const std::string& path, std::string& error);
// The same from `in`, called `name` in the error.
std::optional<Recording> ReadRecording(std::istream& in, const std::string& name,
                                       std::string& error);

}  // namespace pelox::sim
