#pragma once
// The uploader's line output, for logs and scripts: each new message, the
// transfer's progress (bytes, rate, time left) and the camera's write wait,
// then the result, as plain lines or one JSON object a line. Progress lines
// come in steps of ten percent and at least every few seconds, so a log
// never goes quiet for long; the wait is counted in seconds against its
// limit, not drawn as a bar.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/terminal/run_verdict.h"

namespace pelox {

enum class ReportStyle { PLAIN, QUIET, JSON };

// A plain line at least this often during the transfer and the write wait.
inline constexpr uint32_t REPORT_QUIET_LIMIT_MS = 5000;

class RunReport {
 public:
  RunReport(ReportStyle style, int verbosity) : style_(style), verbosity_(verbosity) {}

  // Each returns the lines to print on standard output.
  std::vector<std::string> Step(std::string_view name, uint64_t now_ms);
  std::vector<std::string> Message(int32_t string_id, std::string_view text, uint64_t now_ms);
  // The bar's position; it counts only during the transfer.
  std::vector<std::string> Progress(int32_t percent, uint64_t now_ms);
  // Time passing without events.
  std::vector<std::string> Tick(uint64_t now_ms);
  std::vector<std::string> Result(const Verdict& verdict, std::string_view message);

  void SetImageSize(uint64_t size) { image_size_ = size; }
  uint64_t BytesSent() const { return bytes_sent_; }
  // What the dialog shows under its bar: the transfer's bytes and rate, or
  // the write wait's seconds; empty otherwise.
  std::string Status(uint64_t now_ms) const;
  // The bar's position to draw: the transfer's, or the wait's share of its
  // limit; a finished update shows a full bar.
  int32_t BarPercent(uint64_t now_ms) const;

 private:
  enum class Phase { CHECKS, TRANSFER, WRITING, DONE };

  std::vector<std::string> ProgressLines(uint64_t now_ms);
  std::vector<std::string> WaitLines(uint64_t now_ms);
  double Rate(uint64_t now_ms) const;  // bytes a second
  uint64_t SecondsLeft(double rate) const;

  ReportStyle style_;
  int verbosity_;
  Phase phase_ = Phase::CHECKS;
  uint64_t image_size_ = 0;
  uint64_t bytes_sent_ = 0;
  bool written_ = false;
  int32_t percent_ = 0;
  int32_t reported_percent_ = 0;
  uint64_t phase_start_ms_ = 0;
  uint64_t last_line_ms_ = 0;
};

}  // namespace pelox
