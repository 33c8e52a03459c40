#include "app/diagnostics/run_trace.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <span>
#include <string>
#include <utility>

#include "app/diagnostics/standard_outputs.h"
#include "platform/port_tap.h"
#include "transport/hex_text.h"

namespace pelox {
namespace {

// Bytes shown of each chunk; the count tells the rest.
constexpr size_t BYTES_SHOWN = 16;

// How long the end of the run waits for the log's reader to take the rest.
constexpr uint32_t LOG_END_WAIT_MS = 2000;

struct Trace {
  std::mutex mutex;
  bool to_stderr = false;
  bool to_file = false;
  std::unique_ptr<OutputQueue> file;  // kept after the end, for what it lost
  std::string file_name;
  bool note_taken = false;
  std::chrono::steady_clock::time_point start;
};

Trace& TheTrace() {
  static Trace trace;
  return trace;
}

std::string Stamped(const Trace& trace, std::string_view text) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - trace.start).count();
  std::array<char, 32> stamp{};
  std::snprintf(stamp.data(), stamp.size(), "%9.3f ", seconds);
  return stamp.data() + std::string(text) + "\n";
}

void Write(Trace& trace, std::string_view text) {
  const std::string line = Stamped(trace, text);
  if (trace.to_stderr) PrintErr(line);
  if (trace.to_file) trace.file->Put(line);
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

void StartRunTrace(bool to_stderr, std::unique_ptr<OutputQueue> log, const std::string& log_name) {
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  trace.to_file = log != nullptr;
  trace.file = std::move(log);
  trace.file_name = log_name;
  trace.to_stderr = to_stderr;
  trace.start = std::chrono::steady_clock::now();
  if (trace.to_stderr || trace.to_file) AddPortTap(bytes_tap);
}

void StopRunTrace() {
  RemovePortTap(bytes_tap);
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  if (trace.to_file) {
    trace.file->Finish(LOG_END_WAIT_MS, [&trace](const OutputLoss& loss) {
      return Stamped(trace, OutputLossText("this log", loss));
    });
  }
  trace.to_file = false;
  trace.to_stderr = false;
}

void TraceRunLine(std::string_view text) {
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  if (trace.to_stderr || trace.to_file) Write(trace, text);
}

std::string RunTraceLoss() {
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  if (trace.file == nullptr) return {};
  return OutputLossText("the log " + trace.file_name, trace.file->Loss());
}

std::string RunTraceNote() {
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  if (trace.file == nullptr) return {};
  const OutputLoss loss = trace.file->Loss();
  if (loss.error != 0) {
    return "the log " + trace.file_name + " cannot be written (" + std::strerror(loss.error) +
           "); the update goes on";
  }
  if (loss.bytes != 0) {
    return "the log " + trace.file_name + " loses lines: its reader does not take them";
  }
  return {};
}

std::string TakeRunTraceNote() {
  std::string note = RunTraceNote();
  Trace& trace = TheTrace();
  const std::lock_guard lock(trace.mutex);
  if (note.empty() || trace.note_taken) return {};
  trace.note_taken = true;
  return note;
}

}  // namespace pelox
