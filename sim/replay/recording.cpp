#include "sim/replay/recording.h"

#include <array>
#include <charconv>
#include <fstream>
#include <string_view>

#include "sim/replay/line_fields.h"

namespace pelox::sim {
namespace {

using nlohmann::json;

// Nothing in a recording is larger than the largest image, and a whole
// recording holds far less than this many bytes of events.
constexpr size_t LARGEST_BYTES = 2097152;
constexpr size_t LARGEST_TOTAL_BYTES = 256u * 1024 * 1024;
// The largest bytes as hex, with room for the event's other fields.
constexpr size_t LONGEST_LINE = 2 * LARGEST_BYTES + 65536;
constexpr size_t LINE_CHUNK = 4096;
// The header nests three deep (options, then ports); one more level is
// left for a newer minor version. The JSON parser recurses as deep as the
// text nests, so deeper lines are refused before they are parsed.
constexpr size_t DEEPEST_NESTING = 4;

std::optional<uint8_t> Nibble(char digit) {
  if (digit >= '0' && digit <= '9') return static_cast<uint8_t>(digit - '0');
  if (digit >= 'a' && digit <= 'f') return static_cast<uint8_t>(digit - 'a' + 10);
  if (digit >= 'A' && digit <= 'F') return static_cast<uint8_t>(digit - 'A' + 10);
  return std::nullopt;
}

// The bytes of the hex text in `name`, or nothing with `wrong` set.
std::optional<std::vector<uint8_t>> HexField(LineFields& fields, std::string_view name,
                                             Presence presence, std::string& wrong) {
  std::string text;
  if (!fields.Text(name, presence, text)) return std::nullopt;
  if (text.size() / 2 > LARGEST_BYTES) {
    wrong =
        "`" + std::string(name) + "` holds more than " + std::to_string(LARGEST_BYTES) + " bytes";
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const std::optional<uint8_t> high = Nibble(text[i]);
    const std::optional<uint8_t> low = Nibble(text[i + 1]);
    if (!high || !low) break;
    bytes.push_back(static_cast<uint8_t>(*high << 4 | *low));
  }
  if (bytes.size() * 2 != text.size()) {
    wrong = "`" + std::string(name) + "` is not pairs of hex digits";
    return std::nullopt;
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
bool ReadBytes(LineFields& fields, RecordedEvent& event, std::string& wrong) {
  std::optional<std::vector<uint8_t>> kept = HexField(fields, "hex", Presence::OPTIONAL, wrong);
  if (!kept) return false;
  event.bytes = std::move(*kept);
  std::optional<LineFields> run = fields.Object("image", Presence::OPTIONAL);
  if (!run) return wrong.empty();
  LeftOut left_out;
  if (!run->Count("at", Presence::REQUIRED, left_out.at) ||
      !run->Count("size", Presence::REQUIRED, left_out.size)) {
    return false;
  }
  if (left_out.at > event.bytes.size()) {
    wrong = "`image.at` lies past the " + std::to_string(event.bytes.size()) + " bytes of `hex`";
    return false;
  }
  if (left_out.size > LARGEST_BYTES) {
    wrong = "`image.size` is more than " + std::to_string(LARGEST_BYTES) + " bytes";
    return false;
  }
  event.bytes.insert(event.bytes.begin() + static_cast<std::ptrdiff_t>(left_out.at), left_out.size,
                     uint8_t{0});
  event.left_out = left_out;
  return true;
}

bool ReadScsi(LineFields& fields, RecordedEvent& event, std::string& wrong) {
  std::optional<std::vector<uint8_t>> cdb = HexField(fields, "cdb", Presence::REQUIRED, wrong);
  if (!cdb) return false;
  event.cdb = std::move(*cdb);
  if (!fields.Text("device", Presence::REQUIRED, event.device) ||
      !fields.Text("dir", Presence::REQUIRED, event.direction) ||
      !fields.Text("result", Presence::REQUIRED, event.result)) {
    return false;
  }
  return event.direction == "none" || ReadBytes(fields, event, wrong);
}

bool ReadEvent(const json& line, RecordedEvent& event, std::string& wrong) {
  if (!line.is_object()) {
    wrong = "not a JSON object";
    return false;
  }
  LineFields fields(line, wrong);
  std::string name;
  if (!fields.Number("t", Presence::OPTIONAL) || !fields.Text("ev", Presence::REQUIRED, name)) {
    return false;
  }
  event.kind = KindOf(name);
  switch (event.kind) {
    case EventKind::OPEN:
      return fields.Count("com", Presence::OPTIONAL, event.com) &&
             fields.Text("device", Presence::OPTIONAL, event.device);
    case EventKind::TO:
    case EventKind::FROM: return ReadBytes(fields, event, wrong);
    case EventKind::SPEED: return fields.Count("baud", Presence::REQUIRED, event.baud);
    case EventKind::FAIL: return fields.Text("dir", Presence::OPTIONAL, event.direction);
    case EventKind::SCSI: return ReadScsi(fields, event, wrong);
    case EventKind::END:
      return fields.Count("exit", Presence::REQUIRED, event.exit_status) &&
             fields.Text("cause", Presence::OPTIONAL, event.cause);
    default: return true;
  }
}

bool CheckHeader(const json& header, std::string& wrong) {
  if (!header.is_object()) {
    wrong = "not a pelox recording: the first line is not a JSON object";
    return false;
  }
  LineFields fields(header, wrong);
  std::string format;
  std::string version;
  if (!fields.Text("format", Presence::REQUIRED, format) ||
      !fields.Text("version", Presence::REQUIRED, version)) {
    wrong = "not a pelox recording: " + wrong;
    return false;
  }
  if (format != "pelox-recording") {
    wrong = "not a pelox recording: `format` is not \"pelox-recording\"";
    return false;
  }
  int major = 0;
  const auto [end, failed] =
      std::from_chars(version.data(), version.data() + version.size(), major);
  if (failed != std::errc() || (end != version.data() + version.size() && *end != '.')) {
    wrong = "the recording has no format version: `version` is \"" + version + "\"";
    return false;
  }
  if (major > READABLE_MAJOR) {
    wrong = "the recording is in format " + version + ", newer than this camsim reads (" +
            std::to_string(READABLE_MAJOR) + ".x): replay it with a newer camsim";
    return false;
  }
  return true;
}

enum class LineEnd { NEWLINE, CUT, TOO_LONG, NONE };

// One line without its newline, read in chunks and no further than just
// past LONGEST_LINE, so that a line's memory follows its length.
LineEnd ReadLine(std::istream& in, std::string& text) {
  text.clear();
  std::array<char, LINE_CHUNK> chunk{};
  for (;;) {
    in.getline(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const auto count = static_cast<size_t>(in.gcount());
    if (in.eof()) {
      text.append(chunk.data(), count);
      return text.empty() ? LineEnd::NONE : LineEnd::CUT;
    }
    if (!in.fail()) {
      text.append(chunk.data(), count - 1);  // the count takes in the newline
      return LineEnd::NEWLINE;
    }
    in.clear();  // the chunk filled before the newline came
    text.append(chunk.data(), count);
    if (text.size() > LONGEST_LINE) return LineEnd::TOO_LONG;
  }
}

// How deep arrays and objects nest in `text`, counted outside strings.
size_t Nesting(std::string_view text) {
  size_t depth = 0;
  size_t deepest = 0;
  bool in_string = false;
  bool escaped = false;
  for (const char next : text) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (next == '\\') {
        escaped = true;
      } else if (next == '"') {
        in_string = false;
      }
    } else if (next == '"') {
      in_string = true;
    } else if (next == '{' || next == '[') {
      deepest = std::max(deepest, ++depth);
    } else if ((next == '}' || next == ']') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

// The line as JSON, or a discarded value with `wrong` set.
json ParseLine(LineEnd end, const std::string& text, std::string& wrong) {
  if (end == LineEnd::TOO_LONG) {
    wrong = "longer than " + std::to_string(LONGEST_LINE) + " bytes";
  } else if (Nesting(text) > DEEPEST_NESTING) {
    wrong = "nested deeper than " + std::to_string(DEEPEST_NESTING) + " levels";
  } else {
    json line = json::parse(text, nullptr, false);
    if (!line.is_discarded()) return line;
    wrong = "not JSON";
  }
  return json(json::value_t::discarded);
}

}  // namespace

std::optional<Recording> ReadRecording(std::istream& in, const std::string& name,
                                       std::string& error) {
  Recording recording;
  std::string text;
  size_t total_bytes = 0;
  for (size_t number = 1;; ++number) {
    const LineEnd end = ReadLine(in, text);
    if (end == LineEnd::NONE) break;
    std::string wrong;
    json line = ParseLine(end, text, wrong);
    if (number == 1) {
      if (!wrong.empty()) {
        wrong = "not a pelox recording: the first line is " + wrong;
      } else if (CheckHeader(line, wrong)) {
        recording.header = std::move(line);
        continue;
      }
      error = name + ":1: " + wrong;
      return std::nullopt;
    }
    // A last line without its end is where a full disk cut the recording.
    if (end == LineEnd::CUT && line.is_discarded()) break;
    RecordedEvent event;
    event.line = number;
    if (wrong.empty()) ReadEvent(line, event, wrong);
    total_bytes += event.bytes.size();
    if (wrong.empty() && total_bytes > LARGEST_TOTAL_BYTES) {
      wrong = "more bytes than a recording holds";
    }
    if (!wrong.empty()) {
      error = name + ":" + std::to_string(number) + ": " + wrong;
      return std::nullopt;
    }
    recording.events.push_back(std::move(event));
  }
  if (recording.header.is_null()) {
    error = name + " is empty";
    return std::nullopt;
  }
  return recording;
}

std::optional<Recording> ReadRecording(const std::string& path, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  return ReadRecording(file, path, error);
}

}  // namespace pelox::sim
