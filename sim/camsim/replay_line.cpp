#include "sim/camsim/replay_line.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "sim/camsim/host_writer.h"
#include "sim/replay/recording.h"
#include "sim/replay/serial_replay.h"

namespace pelox::sim {
namespace {

constexpr int32_t LONGEST_WAIT_MS = 500;
// While a reply waits for the host's speed change, the speed is looked at this often.
constexpr int32_t SPEED_POLL_MS = 5;
constexpr size_t READ_CHUNK = 4096;

bool HasEvent(const Recording& recording, EventKind kind) {
  return std::any_of(recording.events.begin(), recording.events.end(),
                     [kind](const RecordedEvent& event) { return event.kind == kind; });
}

uint64_t MsSince(std::chrono::steady_clock::time_point start) {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count());
}

// Plays until the replay diverges, the recorded line fails, the host has
// been quiet for the idle time, or camsim is stopped; false with the
// `problem` when the pseudo-terminal fails or the host stops reading.
bool Play(const CamsimOptions& options, PseudoTerminal& pty, SerialReplay& replay,
          const volatile std::sig_atomic_t& stop_requested, std::string& problem) {
  const auto start = std::chrono::steady_clock::now();
  uint64_t last_heard_ms = 0;
  std::vector<uint8_t> buffer(READ_CHUNK);
  while (stop_requested == 0 && replay.Divergence().empty()) {
    while (std::optional<std::vector<uint8_t>> reply = replay.TakeReady(pty.HostBaud())) {
      const HostWrite written = WriteToHost(pty, *reply, stop_requested);
      if (written == HostWrite::STOPPED) return true;
      if (written != HostWrite::WRITTEN) {
        problem = HostWriteProblem(written);
        return false;
      }
    }
    if (replay.HangUpDue()) {
      std::fprintf(stderr, "camsim: the recorded line failed here: hanging up\n");
      return true;
    }
    if (options.idle_exit_ms && MsSince(start) - last_heard_ms >= *options.idle_exit_ms) {
      return true;
    }
    const int32_t wait_ms =
        replay.WaitingForSpeed(pty.HostBaud()) ? SPEED_POLL_MS : LONGEST_WAIT_MS;
    const std::optional<size_t> count = pty.Read(buffer, wait_ms);
    if (!count) {
      problem = "reading the pseudo-terminal failed";
      return false;
    }
    if (*count > 0) {
      last_heard_ms = MsSince(start);
      replay.Receive(std::span(buffer).first(*count));
    }
  }
  return true;
}

}  // namespace

int ServeReplay(const CamsimOptions& options, PseudoTerminal& pty,
                const volatile std::sig_atomic_t& stop_requested, std::string& report) {
  std::string error;
  const std::optional<Recording> recording = ReadRecording(options.replay_path, error);
  if (!recording) {
    report = "camsim: " + error;
    return 2;
  }
  if (!HasEvent(*recording, EventKind::FROM) && HasEvent(*recording, EventKind::SCSI)) {
    report = "camsim: " + options.replay_path +
             " went through the storage pipe: play it to the SG_IO path with "
             "umockdev_camera --replay";
    return 2;
  }
  SerialReplay replay(*recording, options.tolerance);
  std::printf("%s\n", pty.SlavePath().c_str());
  std::fflush(stdout);
  std::string problem;
  if (!Play(options, pty, replay, stop_requested, problem)) {
    report = "camsim: " + problem;
    return 1;
  }
  if (!replay.Divergence().empty()) {
    report = "replay diverged: " + replay.Divergence();
    return 1;
  }
  if (!replay.Complete() && !replay.HangUpDue()) {
    report = "replay ended short: " + replay.Shortfall();
    return 1;
  }
  report = "replay matched: " + std::to_string(replay.HostBytes()) + " bytes from the host, " +
           std::to_string(replay.CameraBytes()) + " bytes answered";
  return 0;
}

}  // namespace pelox::sim
