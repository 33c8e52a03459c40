#include "app/diagnostics/run_report.h"

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/diagnostics/link_event_text.h"
#include "app/upload_worker.h"

namespace pelox {
namespace {

constexpr int32_t PERCENT_STEP = 10;
constexpr uint64_t MS_PER_SECOND = 1000;
constexpr double BYTES_PER_KB = 1000.0;

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  for (size_t feed = text.find('\n'); feed != std::string_view::npos; feed = text.find('\n')) {
    lines.emplace_back(text.substr(0, feed));
    text.remove_prefix(feed + 1);
  }
  lines.emplace_back(text);
  return lines;
}

std::string OneDecimal(double value) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.1f", value);
  return text.data();
}

}  // namespace

std::vector<std::string> RunReport::Step(std::string_view name, uint64_t now_ms) {
  if (style_ == ReportStyle::JSON) {
    return {nlohmann::json{{"step", name}, {"time_ms", now_ms}}.dump()};
  }
  if (style_ == ReportStyle::PLAIN && verbosity_ >= 1) return {"Step: " + std::string(name)};
  return {};
}

void RunReport::EnterPhase(const UpdateState& state, uint64_t now_ms) {
  if (state.phase != progress_.Phase()) last_line_ms_ = now_ms;
  progress_.EnterPhase(state, now_ms);
}

std::vector<std::string> RunReport::Message(int32_t string_id, std::string_view text,
                                            uint64_t now_ms) {
  if (style_ == ReportStyle::JSON) {
    return {nlohmann::json{{"message", text}, {"id", string_id}, {"time_ms", now_ms}}.dump()};
  }
  if (style_ == ReportStyle::QUIET) return {};
  return SplitLines(text);
}

std::vector<std::string> RunReport::Progress(int32_t percent, uint64_t now_ms) {
  // The bytes come from the camera's acknowledgements.
  progress_.SetBar(percent);
  return Tick(now_ms);
}

std::vector<std::string> RunReport::Link(const LinkEvent& event, uint64_t now_ms) {
  if (event.kind == LinkEventKind::BYTES_ACKNOWLEDGED) {
    return Acknowledged(event.bytes, event.total, now_ms);
  }
  if (style_ == ReportStyle::JSON) {
    const nlohmann::json object = LinkEventJson(event);
    if (object.is_null()) return {};
    return {nlohmann::json{{"event", object}, {"time_ms", now_ms}}.dump()};
  }
  if (style_ != ReportStyle::PLAIN || verbosity_ < 1) return {};
  if (std::string line = LinkEventLine(event); !line.empty()) return {line};
  return {};
}

std::vector<std::string> RunReport::Acknowledged(uint64_t bytes, uint64_t total, uint64_t now_ms) {
  const uint64_t bytes_before = progress_.Bytes();
  const int32_t before = progress_.Percent();
  if (!progress_.Acknowledged(bytes, total, now_ms)) return {};
  // After a reconnection the write starts over, and so do the lines.
  if (bytes < bytes_before) reported_percent_ = 0;
  const int32_t percent = progress_.Percent();
  if (style_ == ReportStyle::JSON) return percent != before ? ProgressLines(now_ms) : Tick(now_ms);
  if (percent / PERCENT_STEP * PERCENT_STEP <= reported_percent_) return Tick(now_ms);
  return ProgressLines(now_ms);
}

std::vector<std::string> RunReport::Tick(uint64_t now_ms) {
  if (style_ == ReportStyle::QUIET || now_ms - last_line_ms_ < REPORT_QUIET_LIMIT_MS) return {};
  if (progress_.Phase() == UpdatePhase::TRANSFERRING) return ProgressLines(now_ms);
  if (progress_.Phase() == UpdatePhase::WRITING) return WaitLines(now_ms);
  return {};
}

std::vector<std::string> RunReport::ProgressLines(uint64_t now_ms) {
  if (style_ == ReportStyle::QUIET) return {};
  last_line_ms_ = now_ms;
  const int32_t percent = progress_.Percent();
  reported_percent_ = percent / PERCENT_STEP * PERCENT_STEP;
  if (style_ == ReportStyle::JSON) {
    nlohmann::json progress = {{"bytes", progress_.Bytes()},
                               {"total", progress_.ImageSize()},
                               {"percent", percent},
                               {"bytes_per_second", static_cast<uint64_t>(progress_.Rate())},
                               {"seconds_left", progress_.SecondsLeft()}};
    if (const uint64_t stall_ms = progress_.StallMs(now_ms); stall_ms != 0) {
      progress["silent_ms"] = stall_ms;
      progress.erase("seconds_left");
    }
    return {nlohmann::json{{"progress", progress}, {"time_ms", now_ms}}.dump()};
  }
  return {"Progress: " + std::to_string(percent) + "% " + Status(now_ms)};
}

std::vector<std::string> RunReport::WaitLines(uint64_t now_ms) {
  last_line_ms_ = now_ms;
  if (style_ == ReportStyle::JSON) {
    return {nlohmann::json{{"wait",
                            {{"seconds", progress_.PhaseMs(now_ms) / MS_PER_SECOND},
                             {"limit", CAMERA_WRITE_WAIT_MS / MS_PER_SECOND}}},
                           {"time_ms", now_ms}}
                .dump()};
  }
  return {Status(now_ms)};
}

std::string RunReport::Status(uint64_t now_ms) const {
  if (progress_.Phase() == UpdatePhase::WRITING) {
    return "Waiting for the camera: " + std::to_string(progress_.PhaseMs(now_ms) / MS_PER_SECOND) +
           " s of at most " + std::to_string(CAMERA_WRITE_WAIT_MS / MS_PER_SECOND) + " s";
  }
  if (progress_.Phase() != UpdatePhase::TRANSFERRING) return {};
  std::string status = "(" + std::to_string(progress_.Bytes()) + " of " +
                       std::to_string(progress_.ImageSize()) + " bytes";
  if (const uint64_t stall_ms = progress_.StallMs(now_ms); stall_ms != 0) {
    return status + ", waiting for the camera: no answer for " +
           std::to_string(stall_ms / MS_PER_SECOND) + " s)";
  }
  if (const double rate = progress_.Rate(); rate > 0.0) {
    status += ", " + OneDecimal(rate / BYTES_PER_KB) + " kB/s, " +
              std::to_string(progress_.SecondsLeft()) + " s left";
  }
  return status + ")";
}

std::vector<std::string> RunReport::Result(const Verdict& verdict, std::string_view message,
                                           const RunSummary& summary) {
  if (style_ == ReportStyle::JSON) {
    nlohmann::json result = {{"exit_status", verdict.exit_status},
                             {"cause", RunCauseText(verdict.cause)},
                             {"message", message},
                             {"detail", verdict.detail},
                             {"port", summary.port},
                             {"speed", summary.speed},
                             {"camera_version", summary.camera_version},
                             {"image_version", summary.image_version},
                             {"bytes_acknowledged", progress_.Bytes()},
                             {"time_ms", summary.elapsed_ms}};
    if (summary.speed == 0) result["speed"] = nullptr;
    if (!summary.log_lost.empty()) result["log_lost"] = summary.log_lost;
    if (!summary.sense.empty()) result["sense"] = summary.sense;
    return {nlohmann::json{{"result", result}}.dump()};
  }
  if (style_ == ReportStyle::QUIET) return SplitLines(message);
  return {};
}

std::string SummaryLine(const Verdict& verdict, std::string_view message,
                        const RunSummary& summary) {
  std::string line;
  for (const std::string& part : SplitLines(message)) {
    line += (line.empty() ? "" : " ") + part;
  }
  if (!verdict.detail.empty()) line += (line.empty() ? "" : " - ") + verdict.detail;
  std::string facts;
  if (!summary.camera_version.empty()) facts += "camera " + summary.camera_version + ", ";
  if (!summary.image_version.empty()) facts += "image " + summary.image_version + ", ";
  facts += OneDecimal(static_cast<double>(summary.elapsed_ms) / MS_PER_SECOND) + " s";
  return line + " (" + facts + ")";
}

}  // namespace pelox
