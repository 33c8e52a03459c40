// What --record costs on a 2 MiB update: the lines of every frame and
// acknowledgement of the transfer, built and written (flushed a line at a
// time) as the recording does, with the payload left out and kept.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "app/diagnostics/payload_redaction.h"
#include "app/diagnostics/recording_lines.h"

namespace pelox {
namespace {

constexpr size_t IMAGE_SIZE = 2u * 1024 * 1024;
constexpr size_t FRAME_PAYLOAD = 2048;
constexpr size_t FRAME_HEADER = 4;
constexpr double MIB = 1024.0 * 1024.0;

void BM_RecordSerialUpdate(benchmark::State& state) {
  const bool keep_payload = state.range(0) != 0;
  std::vector<uint8_t> payload(IMAGE_SIZE);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 131 + 7);
  std::vector<uint8_t> frame(FRAME_HEADER + FRAME_PAYLOAD + 2);
  const std::vector<uint8_t> ack{0x06};
  long written = 0;
  for (auto _ : state) {
    FILE* file = std::tmpfile();
    PayloadRedaction redaction(payload);
    for (size_t offset = 0; offset < payload.size(); offset += FRAME_PAYLOAD) {
      frame[1] = static_cast<uint8_t>(offset / FRAME_PAYLOAD);
      std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(offset), FRAME_PAYLOAD,
                  frame.begin() + FRAME_HEADER);
      const std::optional<PayloadRun> cut = keep_payload ? std::nullopt : redaction.Find(frame);
      for (const auto& line :
           {SerialBytesEvent(1.0, TraceDirection::TO_DEVICE, frame, cut),
            SerialBytesEvent(1.0, TraceDirection::FROM_DEVICE, ack, std::nullopt)}) {
        std::fputs(RecordingLine(line).c_str(), file);
        std::fflush(file);
      }
    }
    written = std::ftell(file);
    std::fclose(file);
  }
  state.counters["recording_bytes_per_MiB"] = static_cast<double>(written) / (IMAGE_SIZE / MIB);
  state.counters["image_MiB_per_s"] =
      benchmark::Counter(IMAGE_SIZE / MIB, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RecordSerialUpdate)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("keep_payload")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pelox
