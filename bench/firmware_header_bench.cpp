// The firmware header check over the largest image the camera takes: it
// reads the header and sums the whole payload once.
#include <benchmark/benchmark.h>

#include "app/firmware_image.h"
#include "tools/firmware_sample.h"

namespace {

constexpr size_t LARGEST_IMAGE = 2097152;

void FirmwareHeaderCheckOfTheLargestImage(benchmark::State& state) {
  const auto image = pelox::SampleFirmwareImage(
      "v517-1.10", pelox::SamplePayload(LARGEST_IMAGE - pelox::FIRMWARE_HEADER_SIZE));
  pelox::VersionText version{};
  for (auto _ : state) benchmark::DoNotOptimize(pelox::FirmwareHeaderCheck(image, version));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(image.size()));
}
BENCHMARK(FirmwareHeaderCheckOfTheLargestImage);

}  // namespace
