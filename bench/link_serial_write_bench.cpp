// A 2 MiB firmware write over the simulated serial line at 115200 bit/s, in
// virtual time, against the line-rate limit (10 bits a byte).
#include <benchmark/benchmark.h>

#include <vector>

#include "link/camera_link.h"
#include "sim/camera/virtual_camera.h"
#include "sim/serial_line.h"
#include "sim/virtual_clock.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

constexpr int32_t PORT = 1;
constexpr int32_t SPEED_INDEX_115200 = 5;
constexpr double BAUD = 115200.0;
constexpr uint8_t KIND_FIRMWARE = 29;
constexpr size_t IMAGE_SIZE = 2u * 1024 * 1024;

void BM_SerialFirmwareWrite(benchmark::State& state) {
  std::vector<uint8_t> image(IMAGE_SIZE);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 131 + 7);
  double virtual_seconds = 0;
  for (auto _ : state) {
    sim::VirtualClockReset();
    sim::SerialLineReset();
    PortResetState();
    LinkDestroyAll();
    sim::VirtualCamera camera;
    sim::SerialLineAttach(PORT, camera.Serial());
    CameraLink* link = LinkCreate();
    LinkSetSpeed(SPEED_INDEX_115200, link);
    if (LinkOpenPort(PORT, link) != PORT || LinkConnect(LINK_CONNECT, link) != LINK_OK) {
      state.SkipWithError("no connection");
      break;
    }
    const uint64_t start = sim::VirtualNowMs();
    if (LinkWriteData(KIND_FIRMWARE, image, link) != LINK_OK) {
      state.SkipWithError("write failed");
      break;
    }
    virtual_seconds = static_cast<double>(sim::VirtualNowMs() - start) / 1000.0;
    LinkDestroyAll();
    sim::SerialLineReset();
  }
  const double limit = static_cast<double>(IMAGE_SIZE) * 10.0 / BAUD;
  state.counters["virtual_s"] = virtual_seconds;
  state.counters["line_limit_s"] = limit;
  state.counters["over_limit_pct"] = (virtual_seconds / limit - 1.0) * 100.0;
}

BENCHMARK(BM_SerialFirmwareWrite)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pelox
