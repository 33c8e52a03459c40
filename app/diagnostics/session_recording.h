#pragma once
// --record FILE: everything that crossed the port, written as it happens so
// that a recording cut short by a signal is readable up to there. A failed
// write (a full disk) stops the recording, never the update.
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/diagnostics/payload_redaction.h"
#include "app/diagnostics/recording_lines.h"
#include "app/session/options.h"
#include "platform/port_tap.h"

namespace pelox {

class SessionRecording : public PortTap {
 public:
  SessionRecording() = default;
  SessionRecording(const SessionRecording&) = delete;
  SessionRecording& operator=(const SessionRecording&) = delete;
  ~SessionRecording() override { Finish(std::nullopt, {}); }

  // What the header tells of the image, read before any output is opened.
  void ReadImage(const UploaderOptions& options, std::string_view image_path);
  // Writes the header to `file`, named `options.record_file`, which the
  // recording owns and closes, and taps the ports.
  void Start(const UploaderOptions& options, FILE* file);
  // Writes the run's end (when there is one), stops tapping and closes.
  void Finish(std::optional<int> exit_status, std::string_view cause);
  // Why the recording stopped before the end; empty when it did not.
  std::string Problem() const;

  void SerialOpened(int32_t port, std::string_view path) override;
  void SerialBytes(TraceDirection direction, std::span<const uint8_t> bytes) override;
  void SerialSpeed(uint32_t baud) override;
  void SerialFailed(TraceDirection direction) override;
  void SerialClosed() override;
  void ScsiCommand(const ScsiTrace& command) override;

 private:
  double Seconds() const;
  std::optional<PayloadRun> Cut(TraceDirection direction, std::span<const uint8_t> bytes);
  void WriteLine(const std::string& line);

  mutable std::mutex mutex_;
  FILE* file_ = nullptr;
  bool tapped_ = false;
  int write_error_ = 0;
  std::string name_;
  std::string_view answered_on_ = "none";
  std::chrono::steady_clock::time_point start_;
  std::vector<uint8_t> payload_;
  std::optional<PayloadRedaction> redaction_;
  RecordedImage image_;
};

}  // namespace pelox
