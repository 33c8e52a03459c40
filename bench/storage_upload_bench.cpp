// A 2 MiB firmware upload (data kind 29) over the storage pipe, through each
// variant, against the virtual camera's storage face in virtual time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "link/camera_link.h"
#include "sim/camera/camera_model.h"
#include "sim/camera/virtual_camera.h"
#include "sim/storage/storage_bus.h"
#include "sim/storage/storage_face.h"
#include "sim/storage/virtual_face_clock.h"
#include "sim/virtual_clock.h"
#include "transport/discovery/device_table.h"
#include "transport/port/port.h"
#include "transport/storage/storage_init.h"

namespace pelox {
namespace {

constexpr size_t FIRMWARE_SIZE = 2 * 1024 * 1024;
constexpr size_t DATA_HEADER_SIZE = 64;
constexpr size_t ANSWER_SIZE = 16;
constexpr double MIB = 1024.0 * 1024.0;

struct UploadFigures {
  size_t commands = 0;
  size_t frames_written = 0;
  size_t replies_read = 0;
  size_t largest_data_phase = 0;
};

UploadFigures Count(const std::vector<sim::CdbRecord>& cdbs, size_t from) {
  UploadFigures figures;
  figures.commands = cdbs.size() - from;
  for (size_t i = from; i < cdbs.size(); ++i) {
    const sim::CdbRecord& record = cdbs[i];
    const bool data_out =
        record.direction == sim::DataDirection::OUT && record.transfer_length >= DATA_HEADER_SIZE;
    if (data_out) ++figures.frames_written;
    if (record.direction == sim::DataDirection::IN && record.transfer_length == ANSWER_SIZE) {
      ++figures.replies_read;
    }
    if (data_out || (record.direction == sim::DataDirection::IN &&
                     record.transfer_length >= DATA_HEADER_SIZE)) {
      figures.largest_data_phase = std::max(figures.largest_data_phase, record.transfer_length);
    }
  }
  return figures;
}

void Upload(benchmark::State& state) {
  const auto variant = static_cast<sim::StorageVariant>(state.range(0));
  std::vector<uint8_t> firmware(FIRMWARE_SIZE);
  std::iota(firmware.begin(), firmware.end(), uint8_t{0x5A});
  UploadFigures figures;
  for (auto _ : state) {
    state.PauseTiming();
    StorageResetState();
    DeviceTableReset();
    PortResetState();
    sim::StorageBusReset();
    sim::VirtualClockReset();
    sim::VirtualCamera camera;
    sim::StorageFace face(camera.Endpoint(), camera.Log(), "PELOX", sim::VirtualFaceClock());
    sim::StorageBusUse(variant);
    sim::StorageBusAttach(variant, 1, face);
    StorageTransportInit(STORAGE_INIT_REQUEST);
    CameraLink* link = LinkCreate();
    if (LinkOpenPort(LINK_PORT_AUTOMATIC, link) != PORT_TYPE_STORAGE ||
        LinkConnect(LINK_CONNECT, link) != LINK_OK ||
        LinkSetValue(sim::PROPERTY_UPLOAD_KEY, sim::FIRMWARE_UPLOAD_KEY, link) != LINK_OK) {
      state.SkipWithError("the camera could not be reached");
      break;
    }
    const size_t before = face.Cdbs().size();
    state.ResumeTiming();

    const int32_t result = LinkWriteData(sim::KIND_FIRMWARE, firmware, link);

    state.PauseTiming();
    if (result != LINK_OK || camera.Model().Firmware().Image().size() != FIRMWARE_SIZE) {
      state.SkipWithError("the upload failed");
      break;
    }
    figures = Count(face.Cdbs(), before);
    LinkConnect(LINK_DISCONNECT, link);
    LinkDestroyAll();
    state.ResumeTiming();
  }
  state.counters["scsi_commands"] = static_cast<double>(figures.commands);
  state.counters["frames_written"] = static_cast<double>(figures.frames_written);
  state.counters["replies_read"] = static_cast<double>(figures.replies_read);
  state.counters["expected_commands"] =
      static_cast<double>(3 * figures.frames_written + 4 * figures.replies_read);
  state.counters["largest_data_phase_bytes"] = static_cast<double>(figures.largest_data_phase);
  state.counters["cpu_seconds_per_MiB"] = benchmark::Counter(
      static_cast<double>(FIRMWARE_SIZE) / MIB,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(FIRMWARE_SIZE));
}

BENCHMARK(Upload)
    ->ArgName("variant")
    ->Arg(static_cast<int64_t>(sim::StorageVariant::ASPI))
    ->Arg(static_cast<int64_t>(sim::StorageVariant::PASS_THROUGH))
    ->Arg(static_cast<int64_t>(sim::StorageVariant::SG_IO))
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pelox
