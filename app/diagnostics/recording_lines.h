#pragma once
// The lines of a session recording (--record), as JSON text: a header, then
// one line for each thing that crossed the port, then the run's end. Pure,
// so that what a recording holds (and leaves out) is checked without a port.
// The format is described in the README; a reader refuses a newer major.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/diagnostics/payload_redaction.h"
#include "app/session/options.h"
#include "platform/port_tap.h"

namespace pelox {

inline constexpr int RECORDING_MAJOR = 1;
inline constexpr int RECORDING_MINOR = 0;
inline constexpr std::string_view RECORDING_FORMAT = "pelox-recording";

// The image as the header tells it: no path, and no payload bytes.
struct RecordedImage {
  std::string name;             // base name only
  std::optional<int64_t> size;  // none when it could not be read
  std::string header_text;      // the header's key text, up to its first zero byte
};

// What follows a user's path into a recording: its last component.
std::string BaseName(std::string_view path);
std::string HexOf(std::span<const uint8_t> bytes);

nlohmann::json RecordingHeader(const UploaderOptions& options, const RecordedImage& image,
                               std::string_view date);

// An event at `seconds` since the start. Bytes sent carry a payload run
// when the payload was cut out of them: `hex` then holds the rest.
nlohmann::json SerialOpenedEvent(double seconds, int32_t port, std::string_view path);
nlohmann::json SerialBytesEvent(double seconds, TraceDirection direction,
                                std::span<const uint8_t> bytes,
                                const std::optional<PayloadRun>& cut);
nlohmann::json SerialSpeedEvent(double seconds, uint32_t baud);
nlohmann::json SerialFailedEvent(double seconds, TraceDirection direction);
nlohmann::json SerialClosedEvent(double seconds);
nlohmann::json ScsiEvent(double seconds, const ScsiTrace& command,
                         const std::optional<PayloadRun>& cut);
// `port`: the kind of port that last carried the camera's answers
// ("serial", "storage"), or "none".
nlohmann::json EndEvent(double seconds, int exit_status, std::string_view cause,
                        std::string_view port);

// One line of the file, newline included; bytes that are not UTF-8 are replaced.
std::string RecordingLine(const nlohmann::json& line);

}  // namespace pelox
