#include "sim/replay/recording.h"

#include <fstream>

namespace pelox::sim {
namespace {

using nlohmann::json;

// Nothing in a recording is larger than the largest image, and a whole
// recording holds far less than this many bytes of events.
constexpr size_t LARGEST_BYTES = 2097152;
constexpr size_t LARGEST_TOTAL_BYTES = 256u * 1024 * 1024;

std::optional<uint8_t> Nibble(char digit) {
  if (digit >= '0' && digit <= '9') return static_cast<uint8_t>(digit - '0');
  if (digit >= 'a' && digit <= 'f') return static_cast<uint8_t>(digit - 'a' + 10);
  if (digit >= 'A' && digit <= 'F') return static_cast<uint8_t>(digit - 'A' + 10);
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> FromHex(const std::string& text) {
  if (text.size() % 2 != 0 || text.size() / 2 > LARGEST_BYTES) return std::nullopt;
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    const std::optional<uint8_t> high = Nibble(text[i]);
    const std::optional<uint8_t> low = Nibble(text[i + 1]);
    if (!high || !low) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(*high << 4 | *low));
  }
  return bytes;
}

EventKind KindOf(const std::string& name) {
  static const std::vector<std::pair<std::string, EventKind>> KINDS = {
      {"open", EventKind::OPEN},   {"to", EventKind::TO},     {"from", EventKind::FROM},
      {"speed", EventKind::SPEED}, {"fail", EventKind::FAIL}, {"close", EventKind::CLOSE},
      {"scsi", EventKind::SCSI},   {"end", EventKind::END}};
  for (const auto& [known, kind] : KINDS) {
    if (known == name) return kind;
  }
  return EventKind::OTHER;  // a newer minor version's event: not played
}

// The bytes of `hex`, with the left-out run put back as zeros.
bool ReadBytes(const json& line, RecordedEvent& event) {
  const std::optional<std::vector<uint8_t>> kept = FromHex(line.value("hex", std::string()));
  if (!kept) return false;
  event.bytes = *kept;
  if (!line.contains("image")) return true;
  const json& run = line.at("image");
  const auto at = run.at("at").get<size_t>();
  const auto size = run.at("size").get<size_t>();
  if (at > kept->size() || size > LARGEST_BYTES) return false;
  event.bytes.insert(event.bytes.begin() + static_cast<std::ptrdiff_t>(at), size, uint8_t{0});
  event.left_out = LeftOut{at, size};
  return true;
}

bool ReadEvent(const json& line, RecordedEvent& event) {
  event.kind = KindOf(line.at("ev").get<std::string>());
  switch (event.kind) {
    case EventKind::OPEN:
      event.com = line.value("com", 0);
      event.device = line.value("device", std::string());
      return true;
    case EventKind::TO:
    case EventKind::FROM: return ReadBytes(line, event);
    case EventKind::SPEED: event.baud = line.at("baud").get<uint32_t>(); return true;
    case EventKind::FAIL: event.direction = line.value("dir", std::string()); return true;
    case EventKind::SCSI: {
      const std::optional<std::vector<uint8_t>> cdb = FromHex(line.at("cdb").get<std::string>());
      if (!cdb) return false;
      event.cdb = *cdb;
      event.device = line.at("device").get<std::string>();
      event.direction = line.at("dir").get<std::string>();
      event.result = line.at("result").get<std::string>();
      return event.direction == "none" || ReadBytes(line, event);
    }
    case EventKind::END:
      event.exit_status = line.at("exit").get<int>();
      event.cause = line.value("cause", std::string());
      return true;
    default: return true;
  }
}

bool CheckHeader(const json& header, std::string& error) {
  if (!header.is_object() || header.value("format", std::string()) != "pelox-recording") {
    error = "not a pelox recording";
    return false;
  }
  const std::string version = header.value("version", std::string());
  int major = 0;
  try {
    major = std::stoi(version);
  } catch (const std::exception&) {
    error = "the recording has no format version";
    return false;
  }
  if (major > READABLE_MAJOR) {
    error = "the recording is in format " + version + ", newer than this camsim reads (" +
            std::to_string(READABLE_MAJOR) + ".x): replay it with a newer camsim";
    return false;
  }
  return true;
}

}  // namespace

std::optional<Recording> ReadRecording(const std::string& path, std::string& error) {
  std::ifstream file(path);
  if (!file) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  Recording recording;
  std::string text;
  size_t total_bytes = 0;
  for (size_t number = 1; std::getline(file, text); ++number) {
    const json line = json::parse(text, nullptr, false);
    if (number == 1) {
      if (line.is_discarded() || !CheckHeader(line, error)) return std::nullopt;
      recording.header = line;
      continue;
    }
    RecordedEvent event;
    event.line = number;
    bool read = false;
    try {
      read = !line.is_discarded() && line.is_object() && ReadEvent(line, event);
    } catch (const json::exception&) {
      read = false;
    }
    // A last line without its end is where a full disk cut the recording.
    if (!read && file.eof()) break;
    if (!read) {
      error = path + ":" + std::to_string(number) + ": not an event this camsim understands";
      return std::nullopt;
    }
    total_bytes += event.bytes.size();
    if (total_bytes > LARGEST_TOTAL_BYTES) {
      error = path + ":" + std::to_string(number) + ": more bytes than a recording holds";
      return std::nullopt;
    }
    recording.events.push_back(std::move(event));
  }
  if (recording.header.is_null()) {
    error = path + " is empty";
    return std::nullopt;
  }
  return recording;
}

}  // namespace pelox::sim
