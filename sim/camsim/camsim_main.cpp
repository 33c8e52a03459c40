// camsim: the virtual camera on a pseudo-terminal, in real time.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/pseudo_terminal.h"
#include "sim/camera/virtual_camera.h"
#include "sim/camsim/camsim_options.h"
#include "sim/camsim/host_writer.h"
#include "sim/camsim/replay_line.h"
#include "sim/vocabulary/command_vocabulary.h"
#include "sim/vocabulary/pictures.h"

namespace pelox::sim {
namespace {

// Idle waits are bounded so that a stop request is never missed for long.
constexpr int32_t LONGEST_WAIT_MS = 500;
// After the firmware write, camsim serves on until the host has been quiet
// this long, so that the host sees the camera ready again.
constexpr uint64_t QUIET_AFTER_FLASH_MS = 2000;
constexpr size_t READ_CHUNK = 4096;

volatile std::sig_atomic_t stop_requested = 0;

void RequestStop(int) { stop_requested = 1; }

void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

class RealClock {
 public:
  uint64_t NowMs() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start_)
                                     .count());
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

bool FlashSettled(VirtualCamera& camera, uint64_t now_ms) {
  const FlashOutcome outcome = camera.Model().Firmware().Statement().outcome;
  return outcome == FlashOutcome::REFUSED ||
         (outcome == FlashOutcome::FLASHED && !camera.Model().Busy(now_ms));
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path);
  file << text;
  return static_cast<bool>(file);
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

bool PrepareCamera(const CamsimOptions& options, VirtualCamera& camera,
                   CommandVocabulary& vocabulary) {
  for (const BlobFile& blob : options.blobs) {
    std::vector<uint8_t> bytes;
    if (!ReadFile(blob.path, bytes)) {
      std::fprintf(stderr, "camsim: cannot read %s\n", blob.path.c_str());
      return false;
    }
    vocabulary.SetBlob(blob.kind, std::move(bytes));
  }
  std::string error;
  std::optional<std::vector<SimObject>> pictures =
      ChosenPictures(options.pictures_dir, options.generated_pictures, error);
  if (!pictures) {
    std::fprintf(stderr, "camsim: %s\n", error.c_str());
    return false;
  }
  AddPictures(vocabulary, std::move(*pictures));
  for (const FaultRule& rule : options.faults) camera.Faults().Add(rule);
  if (options.seed) camera.Faults().SetRandom(*options.seed, options.fault_per_mille);
  if (options.unplug_after_bytes) camera.Serial().UnplugAfterBytes(*options.unplug_after_bytes);
  return true;
}

// Serves the line until camsim is told to stop or its exit condition holds;
// false when the pseudo-terminal fails.
bool ServeLine(const CamsimOptions& options, VirtualCamera& camera, PseudoTerminal& pty) {
  const RealClock clock;
  uint64_t last_heard_ms = 0;
  std::vector<uint8_t> buffer(READ_CHUNK);
  while (stop_requested == 0) {
    uint64_t now_ms = clock.NowMs();
    while (std::optional<LineBytes> out = camera.Serial().TakeReady(now_ms)) {
      if (out->baud != pty.HostBaud()) out->bytes.assign(out->bytes.size(), GARBLED_BYTE);
      const HostWrite written = WriteToHost(pty, out->bytes, stop_requested);
      if (written == HostWrite::STOPPED) return true;
      if (written != HostWrite::WRITTEN) {
        std::fprintf(stderr, "camsim: %s\n", HostWriteProblem(written).c_str());
        return false;
      }
    }
    if (camera.Serial().PortFailing(now_ms)) {
      // A pseudo-terminal cannot fail the host's calls for a while: camsim
      // hangs up, and the host's calls fail from then on.
      std::fprintf(stderr, "camsim: port failure: hanging up the line\n");
      return true;
    }
    const uint64_t quiet_ms = now_ms - last_heard_ms;
    if (options.exit_after_flash && FlashSettled(camera, now_ms) &&
        quiet_ms >= QUIET_AFTER_FLASH_MS) {
      return true;
    }
    if (options.idle_exit_ms && quiet_ms >= *options.idle_exit_ms) return true;
    int32_t wait_ms = LONGEST_WAIT_MS;
    if (const std::optional<uint64_t> next = camera.Serial().NextReadyMs()) {
      wait_ms = static_cast<int32_t>(
          std::min<uint64_t>(*next > now_ms ? *next - now_ms : 0, LONGEST_WAIT_MS));
    }
    const std::optional<size_t> count = pty.Read(buffer, wait_ms);
    if (!count) {
      std::fprintf(stderr, "camsim: reading the pseudo-terminal failed\n");
      return false;
    }
    if (*count > 0) {
      now_ms = clock.NowMs();
      last_heard_ms = now_ms;
      camera.Serial().Receive(std::span(buffer).first(*count), pty.HostBaud(), now_ms);
    }
  }
  return true;
}

// The statement goes to the report file, or to standard output.
void PutStatement(const CamsimOptions& options, const std::string& statement) {
  if (options.report_path.empty()) {
    std::fputs(statement.c_str(), stdout);
  } else if (!WriteText(options.report_path, statement)) {
    std::fprintf(stderr, "camsim: cannot write %s\n", options.report_path.c_str());
  }
}

void Report(const CamsimOptions& options, const VirtualCamera& camera) {
  PutStatement(options, DescribeStatement(camera.Model().Firmware().Statement()) + "\n");
  if (!options.log_path.empty() && !WriteText(options.log_path, camera.Log().Describe())) {
    std::fprintf(stderr, "camsim: cannot write %s\n", options.log_path.c_str());
  }
}

int Replay(const CamsimOptions& options) {
  PseudoTerminal pty;
  std::string report;
  if (!pty.Open(report)) {
    std::fprintf(stderr, "camsim: %s\n", report.c_str());
    return 1;
  }
  InstallStopHandlers();
  const int status = ServeReplay(options, pty, stop_requested, report);
  if (status == 2) {
    std::fprintf(stderr, "%s\n", report.c_str());
  } else {
    PutStatement(options, report + "\n");
  }
  return status;
}

int Serve(const CamsimOptions& options) {
  if (!options.replay_path.empty()) return Replay(options);
  VirtualCamera camera(options.camera);
  CommandVocabulary vocabulary(camera.Model());
  if (!PrepareCamera(options, camera, vocabulary)) return 1;
  PseudoTerminal pty;
  std::string error;
  if (!pty.Open(error)) {
    std::fprintf(stderr, "camsim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", pty.SlavePath().c_str());
  std::fflush(stdout);
  InstallStopHandlers();
  const bool served = ServeLine(options, camera, pty);
  Report(options, camera);
  return served ? 0 : 1;
}

}  // namespace
}  // namespace pelox::sim

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  std::string error;
  const std::optional<pelox::sim::CamsimOptions> options =
      pelox::sim::ParseCamsimOptions(arguments, error);
  if (!options) {
    std::fprintf(stderr, "camsim: %s\n%s", error.c_str(), pelox::sim::CAMSIM_USAGE);
    return 2;
  }
  if (options->help) {
    std::fputs(pelox::sim::CAMSIM_USAGE, stdout);
    return 0;
  }
  if (options->version) {
    std::puts("camsim " PELOX_VERSION);
    return 0;
  }
  return pelox::sim::Serve(*options);
}
