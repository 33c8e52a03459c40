#include "app/terminal/run_report.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/resources/strings.h"
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

std::vector<std::string> RunReport::Message(int32_t string_id, std::string_view text,
                                            uint64_t now_ms) {
  const Phase before = phase_;
  if (string_id == STR_UPLOADING) phase_ = Phase::TRANSFER;
  if (string_id == STR_WRITING) phase_ = Phase::WRITING;
  if (string_id == STR_WRITE_COMPLETE || string_id == STR_WRITE_ERROR) phase_ = Phase::DONE;
  written_ = string_id == STR_WRITE_COMPLETE;
  if (phase_ != before) {
    phase_start_ms_ = now_ms;
    last_line_ms_ = now_ms;
  }
  if (style_ == ReportStyle::JSON) {
    return {nlohmann::json{{"message", text}, {"id", string_id}, {"time_ms", now_ms}}.dump()};
  }
  if (style_ == ReportStyle::QUIET) return {};
  return SplitLines(text);
}

std::vector<std::string> RunReport::Progress(int32_t percent, uint64_t now_ms) {
  // Only the transfer's bar is progress; it never goes back.
  if (phase_ != Phase::TRANSFER || percent <= percent_) return {};
  percent_ = std::min(percent, PERCENT_FULL);
  bytes_sent_ = image_size_ * static_cast<uint64_t>(percent_) / PERCENT_FULL;
  if (style_ == ReportStyle::JSON) return ProgressLines(now_ms);
  if (percent_ / PERCENT_STEP * PERCENT_STEP <= reported_percent_) return Tick(now_ms);
  return ProgressLines(now_ms);
}

std::vector<std::string> RunReport::Tick(uint64_t now_ms) {
  if (style_ == ReportStyle::QUIET || now_ms - last_line_ms_ < REPORT_QUIET_LIMIT_MS) return {};
  if (phase_ == Phase::TRANSFER) return ProgressLines(now_ms);
  if (phase_ == Phase::WRITING) return WaitLines(now_ms);
  return {};
}

std::vector<std::string> RunReport::ProgressLines(uint64_t now_ms) {
  if (style_ == ReportStyle::QUIET) return {};
  last_line_ms_ = now_ms;
  reported_percent_ = percent_ / PERCENT_STEP * PERCENT_STEP;
  const double rate = Rate(now_ms);
  const uint64_t left_s = SecondsLeft(rate);
  if (style_ == ReportStyle::JSON) {
    return {nlohmann::json{{"progress",
                            {{"bytes", bytes_sent_},
                             {"total", image_size_},
                             {"percent", percent_},
                             {"bytes_per_second", static_cast<uint64_t>(rate)},
                             {"seconds_left", left_s}}},
                           {"time_ms", now_ms}}
                .dump()};
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
  if (phase_ == Phase::WRITING) {
    return "Waiting for the camera: " + std::to_string(elapsed_ms / MS_PER_SECOND) +
           " s of at most " + std::to_string(CAMERA_WRITE_WAIT_MS / MS_PER_SECOND) + " s";
  }
  if (phase_ != Phase::TRANSFER) return {};
  std::string status =
      "(" + std::to_string(bytes_sent_) + " of " + std::to_string(image_size_) + " bytes";
  if (const double rate = Rate(now_ms); rate > 0.0) {
    status += ", " + OneDecimal(rate / BYTES_PER_KB) + " kB/s, " +
              std::to_string(SecondsLeft(rate)) + " s left";
  }
  return status + ")";
}

double RunReport::Rate(uint64_t now_ms) const {
  const uint64_t elapsed_ms = now_ms - phase_start_ms_;
  if (elapsed_ms == 0) return 0.0;
  return static_cast<double>(bytes_sent_) * MS_PER_SECOND / static_cast<double>(elapsed_ms);
}

uint64_t RunReport::SecondsLeft(double rate) const {
  if (rate <= 0.0) return 0;
  return static_cast<uint64_t>(static_cast<double>(image_size_ - bytes_sent_) / rate);
}

int32_t RunReport::BarPercent(uint64_t now_ms) const {
  switch (phase_) {
    case Phase::TRANSFER: return percent_;
    case Phase::WRITING:
      return static_cast<int32_t>(std::min<uint64_t>(
          (now_ms - phase_start_ms_) * PERCENT_FULL / CAMERA_WRITE_WAIT_MS, PERCENT_FULL));
    case Phase::DONE: return written_ ? PERCENT_FULL : 0;
    case Phase::CHECKS: break;
  }
  return 0;
}

std::vector<std::string> RunReport::Result(const Verdict& verdict, std::string_view message) {
  if (style_ == ReportStyle::JSON) {
    return {nlohmann::json{{"result",
                            {{"exit_status", verdict.exit_status},
                             {"cause", verdict.cause},
                             {"message", message},
                             {"detail", verdict.detail}}}}
                .dump()};
  }
  if (style_ == ReportStyle::QUIET) return SplitLines(message);
  return {};
}

}  // namespace pelox
