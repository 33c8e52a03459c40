#include "app/diagnostics/run_trace.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <span>
#include <string>

#include "platform/port_tap.h"
#include "transport/hex_text.h"

namespace pelox {
namespace {

// Bytes shown of each chunk; the count tells the rest.
constexpr size_t BYTES_SHOWN = 16;

struct Trace {
  std::mutex mutex;
  bool to_stderr = false;
  FILE* file = nullptr;
  std::string file_name;
  std::string loss;  // why the file stopped
  bool loss_taken = false;
  std::chrono::steady_clock::time_point start;
};

// The log is given up at its first failed write, and the program goes on.
void LoseFile(Trace& trace) {
  trace.loss = "the log " + trace.file_name + " stopped early: " + std::strerror(errno);
  std::fclose(trace.file);
  trace.file = nullptr;
}

Trace& TheTrace() {
  static Trace trace;
  return trace;
}

void Write(Trace& trace, std::string_view text) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - trace.start).count();
  std::array<char, 32> stamp{};
  std::snprintf(stamp.data(), stamp.size(), "%9.3f ", seconds);
  const auto put = [&](FILE* out) {
    return std::fprintf(out, "%s%.*s\n", stamp.data(), static_cast<int>(text.size()),
                        text.data()) >= 0 &&
           std::fflush(out) == 0;
  };
  if (trace.to_stderr) put(stderr);
  if (trace.file != nullptr && !put(trace.file)) LoseFile(trace);
}

// Up to `most` bytes as hex, each after a space, and "..." for the rest.
std::string Hex(std::span<const uint8_t> bytes, size_t most) {
  return bytes.empty() ? std::string() : " " + HexText(bytes, " ", most);
}

// What the device answered a refused command with; nothing otherwise.
std::string Refusal(const ScsiTrace& command) {
  if (command.scsi_status == 0 && command.sense.empty()) return {};
  std::array<char, 16> status{};
  std::snprintf(status.data(), status.size(), ", status %02Xh", command.scsi_status);
  return status.data() + (command.sense.empty()
                              ? std::string()
                              : ", sense" + Hex(command.sense, command.sense.size()));
}

void WriteLocked(std::string_view line) {
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  Write(trace, line);
}

// The -vv trace shows the serial bytes and the storage pipe's commands.
class BytesTap : public PortTap {
 public:
  void SerialBytes(TraceDirection direction, std::span<const uint8_t> bytes) override {
    WriteLocked((direction == TraceDirection::TO_DEVICE ? "->" : "<-") + Hex(bytes, BYTES_SHOWN) +
                " (" + std::to_string(bytes.size()) + (bytes.size() == 1 ? " byte)" : " bytes)"));
  }
  void ScsiCommand(const ScsiTrace& command) override {
    const char* direction = command.direction == TraceDirection::TO_DEVICE ? " out" : " in";
    WriteLocked("scsi" + Hex(command.cdb, command.cdb.size()) + ": " +
                (command.has_data ? std::to_string(command.data.size()) + " bytes" + direction
                                  : std::string("no data")) +
                ", result " + std::to_string(command.result) + Refusal(command));
  }
};

BytesTap bytes_tap;

}  // namespace

void StartRunTrace(bool to_stderr, FILE* log, const std::string& log_name) {
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  trace.file = log;
  trace.file_name = log_name;
  trace.to_stderr = to_stderr;
  trace.start = std::chrono::steady_clock::now();
  if (trace.to_stderr || trace.file != nullptr) AddPortTap(bytes_tap);
}

void StopRunTrace() {
  RemovePortTap(bytes_tap);
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  if (trace.file != nullptr) std::fclose(trace.file);
  trace.file = nullptr;
  trace.to_stderr = false;
}

void TraceRunLine(std::string_view text) {
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  if (trace.to_stderr || trace.file != nullptr) Write(trace, text);
}

std::string RunTraceLoss() {
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  return trace.loss;
}

std::string TakeRunTraceLoss() {
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  if (trace.loss.empty() || trace.loss_taken) return {};
  trace.loss_taken = true;
  return trace.loss;
}

}  // namespace pelox
