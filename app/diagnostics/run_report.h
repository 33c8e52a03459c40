#pragma once
// The uploader's line output, for logs and scripts: each new message, the
// transfer's progress (the bytes the camera acknowledged, the recent rate,
// time left), the link's resends and waits, and the camera's write wait,
// then the result, as plain lines or one JSON object a line. Progress lines
// come in steps of ten percent and at least every few seconds, so a log
// never goes quiet for long; a camera that stops answering is shown as such
// rather than as a growing time left.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/session/run_verdict.h"
#include "app/update_phase.h"
#include "link/link_events.h"

namespace pelox {

enum class ReportStyle { PLAIN, QUIET, JSON };

// A plain line at least this often during the transfer and the write wait.
inline constexpr uint32_t REPORT_QUIET_LIMIT_MS = 5000;
// The rate is measured over this recent stretch of the transfer.
inline constexpr uint64_t REPORT_RATE_WINDOW_MS = 5000;
// A transfer without an acknowledgement for this long is waiting for the camera.
inline constexpr uint64_t REPORT_STALL_MS = 2000;

// What the result tells besides the verdict.
struct RunSummary {
  std::string port;            // where the camera answered; empty when none did
  uint32_t speed = 0;          // bit/s on a serial port, 0 elsewhere
  std::string camera_version;  // the camera's before the update
  std::string image_version;
  std::string log_lost;  // why the log stopped early; empty when it did not
  std::string sense;     // the storage device's sense bytes in hex; empty when none
  uint64_t elapsed_ms = 0;
};

// The one line left on the terminal after the drawn dialog closes: the
// result, its detail, the versions and the time taken.
std::string SummaryLine(const Verdict& verdict, std::string_view message,
                        const RunSummary& summary);

class RunReport {
 public:
  RunReport(ReportStyle style, int verbosity) : style_(style), verbosity_(verbosity) {}

  // Each returns the lines to print on standard output.
  std::vector<std::string> Step(std::string_view name, uint64_t now_ms);
  // The step machine's phase, as its view was told it: what the progress
  // and the status describe follows it.
  void EnterPhase(const UpdateState& state, uint64_t now_ms);
  std::vector<std::string> Message(int32_t string_id, std::string_view text, uint64_t now_ms);
  // The bar's position; it counts only during the transfer.
  std::vector<std::string> Progress(int32_t percent, uint64_t now_ms);
  // What the link went through: acknowledged bytes, resends, waits.
  std::vector<std::string> Link(const LinkEvent& event, uint64_t now_ms);
  // Time passing without events.
  std::vector<std::string> Tick(uint64_t now_ms);
  std::vector<std::string> Result(const Verdict& verdict, std::string_view message,
                                  const RunSummary& summary);

  void SetImageSize(uint64_t size) { image_size_ = size; }
  uint64_t BytesSent() const { return bytes_sent_; }
  // What the dialog shows under its bar: the transfer's bytes and rate, or
  // the write wait's seconds; empty otherwise.
  std::string Status(uint64_t now_ms) const;
  // The bar's position to draw: the transfer's, or the wait's share of its
  // limit; a finished update shows a full bar.
  int32_t BarPercent(uint64_t now_ms) const;

 private:
  std::vector<std::string> Acknowledged(uint64_t bytes, uint64_t total, uint64_t now_ms);
  std::vector<std::string> ProgressLines(uint64_t now_ms);
  std::vector<std::string> WaitLines(uint64_t now_ms);
  double Rate() const;  // bytes a second, over the recent window
  uint64_t SecondsLeft(double rate) const;
  // How long the camera has acknowledged nothing in the transfer, 0 while it does.
  uint64_t StallMs(uint64_t now_ms) const;

  ReportStyle style_;
  int verbosity_;
  UpdatePhase phase_ = UpdatePhase::SEARCHING;
  uint64_t image_size_ = 0;
  uint64_t bytes_sent_ = 0;
  bool written_ = false;
  int32_t percent_ = 0;  // of the bytes acknowledged
  int32_t bar_percent_ = 0;
  int32_t reported_percent_ = 0;
  uint64_t phase_start_ms_ = 0;
  uint64_t last_line_ms_ = 0;
  uint64_t last_ack_ms_ = 0;
  std::deque<std::pair<uint64_t, uint64_t>> rate_samples_;  // (time, bytes)
};

}  // namespace pelox
