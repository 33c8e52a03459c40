#include "app/diagnostics/recording_lines.h"

#include <cmath>

#include "platform/sg.h"
#include "transport/hex_text.h"

namespace pelox {
namespace {

using nlohmann::json;

json Stamped(double seconds, std::string_view event) {
  return json{{"t", std::round(seconds * 1000.0) / 1000.0}, {"ev", event}};
}

// The bytes with the payload run cut out, and the run's place.
void PutBytes(json& line, std::span<const uint8_t> bytes, const std::optional<PayloadRun>& cut) {
  if (!cut) {
    line["hex"] = HexOf(bytes);
    return;
  }
  line["hex"] = HexOf(bytes.first(cut->at)) + HexOf(bytes.subspan(cut->at + cut->size));
  line["image"] = {{"at", cut->at}, {"offset", cut->offset}, {"size", cut->size}};
}

std::string_view ResultName(int32_t result) {
  switch (result) {
    case SG_DONE: return "done";
    case SG_CHECK_STATUS: return "check";
    default: return "failed";
  }
}

}  // namespace

std::string BaseName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string HexOf(std::span<const uint8_t> bytes) {
  return HexText(bytes, {}, bytes.size(), HexDigits::LOWER);
}

json RecordingHeader(const UploaderOptions& options, const RecordedImage& image,
                     std::string_view date) {
  json ports = json::array();
  for (const std::string& port : options.ports) ports.push_back(BaseName(port));
  json recorded_options{{"ports", ports},
                        {"device", BaseName(options.device)},
                        {"list", options.list},
                        {"check", options.check},
                        {"yes", options.yes},
                        {"plain", options.plain},
                        {"json", options.json},
                        {"quiet", options.quiet},
                        {"verbosity", options.verbosity},
                        {"record_image", options.record_image}};
  recorded_options["speed_index"] =
      options.speed_index ? json(*options.speed_index) : json(nullptr);
  json recorded_image{{"name", image.name}, {"header", image.header_text}};
  recorded_image["size"] = image.size ? json(*image.size) : json(nullptr);
  return json{{"format", RECORDING_FORMAT},
              {"version", std::to_string(RECORDING_MAJOR) + "." + std::to_string(RECORDING_MINOR)},
              {"program", "pelox-uploader " PELOX_VERSION},
              {"date", date},
              {"options", recorded_options},
              {"image", recorded_image}};
}

json SerialOpenedEvent(double seconds, int32_t port, std::string_view path) {
  json line = Stamped(seconds, "open");
  line["com"] = port;
  line["device"] = BaseName(path);
  return line;
}

json SerialBytesEvent(double seconds, TraceDirection direction, std::span<const uint8_t> bytes,
                      const std::optional<PayloadRun>& cut) {
  json line = Stamped(seconds, direction == TraceDirection::TO_DEVICE ? "to" : "from");
  PutBytes(line, bytes, cut);
  return line;
}

json SerialSpeedEvent(double seconds, uint32_t baud) {
  json line = Stamped(seconds, "speed");
  line["baud"] = baud;
  return line;
}

json SerialFailedEvent(double seconds, TraceDirection direction) {
  json line = Stamped(seconds, "fail");
  line["dir"] = direction == TraceDirection::TO_DEVICE ? "to" : "from";
  return line;
}

json SerialClosedEvent(double seconds) { return Stamped(seconds, "close"); }

json ScsiEvent(double seconds, const ScsiTrace& command, const std::optional<PayloadRun>& cut) {
  json line = Stamped(seconds, "scsi");
  line["device"] = BaseName(command.device);
  line["cdb"] = HexOf(command.cdb);
  line["dir"] = !command.has_data                                ? "none"
                : command.direction == TraceDirection::TO_DEVICE ? "out"
                                                                 : "in";
  if (command.has_data) PutBytes(line, command.data, cut);
  line["result"] = ResultName(command.result);
  return line;
}

json EndEvent(double seconds, int exit_status, std::string_view cause, std::string_view port) {
  json line = Stamped(seconds, "end");
  line["exit"] = exit_status;
  line["cause"] = cause;
  line["port"] = port;
  return line;
}

std::string RecordingLine(const json& line) {
  return line.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace pelox
