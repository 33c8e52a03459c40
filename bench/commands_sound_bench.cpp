// Expanding compressed sound in place: samples per second of the 4-bit
// decoder, beside a plain copy of the same buffer that every run also makes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "commands/sound.h"

namespace pelox {
namespace {

std::vector<uint8_t> CompressedSound(size_t packed_bytes) {
  std::vector<uint8_t> sound(SOUND_HEADER_SIZE + 2 * packed_bytes);
  for (size_t i = 0; i < packed_bytes; ++i) {
    sound[SOUND_HEADER_SIZE + i] = static_cast<uint8_t>(i * 37 + i / 7);
  }
  return sound;
}

void BM_DecodeSoundSamples(benchmark::State& state) {
  const auto packed = static_cast<size_t>(state.range(0));
  const std::vector<uint8_t> source = CompressedSound(packed);
  std::vector<uint8_t> buffer(source.size());
  const auto decoded_size = static_cast<uint32_t>(source.size());
  for (auto _ : state) {
    std::copy(source.begin(), source.end(), buffer.begin());
    if (DecodeSoundSamples(buffer, decoded_size) != 0) state.SkipWithError("sound refused");
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(2 * packed));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(packed));
}
BENCHMARK(BM_DecodeSoundSamples)->Arg(4096)->Arg(65536)->Arg(1 << 20);

void BM_CopyOnly(benchmark::State& state) {
  const std::vector<uint8_t> source = CompressedSound(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> buffer(source.size());
  for (auto _ : state) {
    std::copy(source.begin(), source.end(), buffer.begin());
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CopyOnly)->Arg(4096)->Arg(65536)->Arg(1 << 20);

}  // namespace
}  // namespace pelox
