#include "app/diagnostics/run_report.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/diagnostics/link_event_text.h"
#include "app/upload_worker.h"

namespace pelox {
namespace {

constexpr int32_t PERCENT_STEP = 10;
constexpr int32_t PERCENT_FULL = 100;
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
  written_ = state.cause == RunCause::WRITTEN;
  if (state.phase == phase_) return;
  phase_ = state.phase;
  phase_start_ms_ = now_ms;
  last_line_ms_ = now_ms;
  rate_samples_ = {{now_ms, 0}};
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
  // Only the transfer's bar is progress; it never goes back. The bytes come
  // from the camera's acknowledgements.
  if (phase_ == UpdatePhase::TRANSFERRING && percent > bar_percent_) {
    bar_percent_ = std::min(percent, PERCENT_FULL);
  }
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
  if (phase_ != UpdatePhase::TRANSFERRING || bytes == bytes_sent_ || total == 0) return {};
  if (bytes < bytes_sent_) {
    // After a reconnection the write starts over: the count is the camera's.
    rate_samples_.clear();
    reported_percent_ = 0;
  }
  if (image_size_ == 0) image_size_ = total;
  bytes_sent_ = bytes;
  const int32_t before = percent_;
  percent_ = static_cast<int32_t>(std::min<uint64_t>(bytes * PERCENT_FULL / total, PERCENT_FULL));
  last_ack_ms_ = now_ms;
  rate_samples_.emplace_back(now_ms, bytes);
  while (now_ms - rate_samples_.front().first > REPORT_RATE_WINDOW_MS) rate_samples_.pop_front();
  if (style_ == ReportStyle::JSON) return percent_ != before ? ProgressLines(now_ms) : Tick(now_ms);
  if (percent_ / PERCENT_STEP * PERCENT_STEP <= reported_percent_) return Tick(now_ms);
  return ProgressLines(now_ms);
}

std::vector<std::string> RunReport::Tick(uint64_t now_ms) {
  if (style_ == ReportStyle::QUIET || now_ms - last_line_ms_ < REPORT_QUIET_LIMIT_MS) return {};
  if (phase_ == UpdatePhase::TRANSFERRING) return ProgressLines(now_ms);
  if (phase_ == UpdatePhase::WRITING) return WaitLines(now_ms);
  return {};
}

std::vector<std::string> RunReport::ProgressLines(uint64_t now_ms) {
  if (style_ == ReportStyle::QUIET) return {};
  last_line_ms_ = now_ms;
  reported_percent_ = percent_ / PERCENT_STEP * PERCENT_STEP;
  const double rate = Rate();
  const uint64_t left_s = SecondsLeft(rate);
  if (style_ == ReportStyle::JSON) {
    nlohmann::json progress = {{"bytes", bytes_sent_},
                               {"total", image_size_},
                               {"percent", percent_},
                               {"bytes_per_second", static_cast<uint64_t>(rate)},
                               {"seconds_left", left_s}};
    if (const uint64_t stall_ms = StallMs(now_ms); stall_ms != 0) {
      progress["silent_ms"] = stall_ms;
      progress.erase("seconds_left");
    }
    return {nlohmann::json{{"progress", progress}, {"time_ms", now_ms}}.dump()};
  }
  return {"Progress: " + std::to_string(percent_) + "% " + Status(now_ms)};
}

std::vector<std::string> RunReport::WaitLines(uint64_t now_ms) {
  last_line_ms_ = now_ms;
  if (style_ == ReportStyle::JSON) {
    return {nlohmann::json{{"wait",
                            {{"seconds", (now_ms - phase_start_ms_) / MS_PER_SECOND},
                             {"limit", CAMERA_WRITE_WAIT_MS / MS_PER_SECOND}}},
                           {"time_ms", now_ms}}
                .dump()};
  }
  return {Status(now_ms)};
}

std::string RunReport::Status(uint64_t now_ms) const {
  const uint64_t elapsed_ms = now_ms - phase_start_ms_;
  if (phase_ == UpdatePhase::WRITING) {
    return "Waiting for the camera: " + std::to_string(elapsed_ms / MS_PER_SECOND) +
           " s of at most " + std::to_string(CAMERA_WRITE_WAIT_MS / MS_PER_SECOND) + " s";
  }
  if (phase_ != UpdatePhase::TRANSFERRING) return {};
  std::string status =
      "(" + std::to_string(bytes_sent_) + " of " + std::to_string(image_size_) + " bytes";
  if (const uint64_t stall_ms = StallMs(now_ms); stall_ms != 0) {
    return status + ", waiting for the camera: no answer for " +
           std::to_string(stall_ms / MS_PER_SECOND) + " s)";
  }
  if (const double rate = Rate(); rate > 0.0) {
    status += ", " + OneDecimal(rate / BYTES_PER_KB) + " kB/s, " +
              std::to_string(SecondsLeft(rate)) + " s left";
  }
  return status + ")";
}

uint64_t RunReport::StallMs(uint64_t now_ms) const {
  if (phase_ != UpdatePhase::TRANSFERRING) return 0;
  const uint64_t since_ms = now_ms - std::max(last_ack_ms_, phase_start_ms_);
  return since_ms >= REPORT_STALL_MS ? since_ms : 0;
}

double RunReport::Rate() const {
  // Unknown until the window holds two counts, as after a stall.
  if (rate_samples_.size() < 2) return 0.0;
  const auto [first_ms, first_bytes] = rate_samples_.front();
  const auto [last_ms, last_bytes] = rate_samples_.back();
  if (last_ms == first_ms) return 0.0;
  return static_cast<double>(last_bytes - first_bytes) * MS_PER_SECOND /
         static_cast<double>(last_ms - first_ms);
}

uint64_t RunReport::SecondsLeft(double rate) const {
  if (rate <= 0.0) return 0;
  return static_cast<uint64_t>(static_cast<double>(image_size_ - bytes_sent_) / rate);
}

int32_t RunReport::BarPercent(uint64_t now_ms) const {
  switch (phase_) {
    case UpdatePhase::TRANSFERRING: return bar_percent_;
    case UpdatePhase::WRITING:
      return static_cast<int32_t>(std::min<uint64_t>(
          (now_ms - phase_start_ms_) * PERCENT_FULL / CAMERA_WRITE_WAIT_MS, PERCENT_FULL));
    case UpdatePhase::ENDED: return written_ ? PERCENT_FULL : 0;
    default: return 0;
  }
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
                             {"bytes_acknowledged", bytes_sent_},
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
