// Building and parsing whole frames, beside a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "link/camera_link.h"
#include "link/packet.h"

namespace pelox {
namespace {

std::vector<uint8_t> Payload(size_t size) {
  std::vector<uint8_t> payload(size);
  for (size_t i = 0; i < size; ++i) payload[i] = static_cast<uint8_t>(i * 31);
  return payload;
}

void BM_BuildAndParseFrame(benchmark::State& state) {
  const std::vector<uint8_t> payload = Payload(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> packet(payload.size() + PACKET_OVERHEAD);
  for (auto _ : state) {
    uint8_t tx_seq = 0;
    const size_t length = BuildDataFrame(payload, packet, FRAME_DATA_LAST, tx_seq);
    ParsedPacket parsed;
    const PacketVerdict verdict = ParsePacket(std::span(packet).first(length), true, 0, parsed);
    if (verdict != PACKET_OK) state.SkipWithError("frame did not parse");
    benchmark::DoNotOptimize(parsed.payload.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_PlainCopy(benchmark::State& state) {
  const std::vector<uint8_t> payload = Payload(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> copy(payload.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), payload.data(), payload.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_BuildAndParseFrame)->Arg(2048)->Arg(32768);
BENCHMARK(BM_PlainCopy)->Arg(2048)->Arg(32768);

}  // namespace
}  // namespace pelox
