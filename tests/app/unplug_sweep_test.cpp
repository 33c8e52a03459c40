// A 2 MiB update with the camera unplugged before, within and after each
// frame in turn, and after the write command: every run ends with "Error in
// writing Firmware." or, where the camera had already reported the flash
// done, a completed update; never a hang past the protocol's bound, never a
// completion the camera did not flash. A clean run first finds the
// boundaries: the bytes of each host unit on the serial line, each SCSI
// command of the storage pipe.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/resources/strings.h"
#include "link/packet.h"
#include "sim/virtual_clock.h"
#include "tests/app/update_rig.h"
#include "tools/firmware_sample.h"

namespace pelox {
namespace {

using test::UpdatePort;

constexpr size_t IMAGE_SIZE = 2 * 1024 * 1024;
constexpr size_t HEADER_SIZE = 96;
// Every unit near the start and the end of the transfer, and the write
// command after it, is swept; elsewhere every stride-th: each of the serial
// line's 1025 frames costs three runs of a fifth of a second, so one in 64; a
// storage frame takes seven SCSI commands, so one in 9 meets each of them in
// turn. PELOX_SWEEP_STRIDE=1 sweeps every unit (about ten minutes).
constexpr size_t DENSE_UNITS = 4;
constexpr size_t DENSE_AFTER_TRANSFER = 12;
constexpr size_t SERIAL_STRIDE = 64;
constexpr size_t STORAGE_STRIDE = 9;

const std::vector<uint8_t>& Image() {
  static const std::vector<uint8_t> image =
      SampleFirmwareImage("v517-1.10", SamplePayload(IMAGE_SIZE - HEADER_SIZE));
  return image;
}

size_t Stride(size_t usual) {
  const char* text = std::getenv("PELOX_SWEEP_STRIDE");
  const size_t stride =
      text != nullptr ? static_cast<size_t>(std::strtoull(text, nullptr, 10)) : usual;
  return stride == 0 ? 1 : stride;
}

// The units to unplug at, sampled as above; the transfer's last frame is
// among the `transfer_end` first.
std::vector<size_t> Sampled(size_t units, size_t transfer_end, size_t usual_stride) {
  std::vector<size_t> sampled;
  const size_t stride = Stride(usual_stride);
  for (size_t i = 0; i < units; ++i) {
    const bool dense = i < DENSE_UNITS ||
                       (i + DENSE_UNITS >= transfer_end && i < transfer_end + DENSE_AFTER_TRANSFER);
    if (dense || i % stride == 0) sampled.push_back(i);
  }
  return sampled;
}

void Check(UpdatePort port, const std::string& where, test::UpdateRig& rig,
           const test::UpdateEnd& end, size_t& completed) {
  const bool released = rig.CloseAndCheckReleased();
  const std::string broken = test::BrokenPromises(
      end, rig.Camera(), Image(), test::UpdateBoundMs(Image().size(), port), released);
  EXPECT_EQ(broken, "") << test::UpdatePortName(port) << ", unplugged " << where;
  if (end.message == StringText(STR_WRITE_COMPLETE)) ++completed;
}

TEST(UnplugSweep, EndsInAnErrorOrACompletedFlashOnTheSerialLine) {
  // The clean run: where each host unit of the upload begins and ends.
  struct Unit {
    uint64_t begins;
    uint64_t ends;
    bool frame;  // a frame of the firmware write
  };
  std::vector<Unit> units;
  {
    test::UpdateRig rig(UpdatePort::SERIAL, Image());
    size_t first_entry = 0;
    uint64_t offset = 0;
    const test::UpdateEnd end = rig.Run([&] {
      first_entry = rig.Camera().Log().Entries().size();
      offset = rig.Camera().Serial().BytesReceived();
    });
    ASSERT_EQ(end.message, StringText(STR_WRITE_COMPLETE));
    const auto& entries = rig.Camera().Log().Entries();
    for (size_t i = first_entry; i < entries.size(); ++i) {
      if (entries[i].direction != sim::Direction::FROM_HOST) continue;
      const std::vector<uint8_t>& bytes = entries[i].bytes;
      const bool frame =
          bytes.size() > 1 && (bytes[0] == FRAME_DATA_MORE || bytes[0] == FRAME_DATA_LAST ||
                               (bytes[0] == FRAME_COMMAND && bytes.size() > 1024));
      units.push_back({offset, offset + bytes.size(), frame});
      offset += bytes.size();
    }
    ASSERT_EQ(offset, rig.Camera().Serial().BytesReceived()) << "the log misses host bytes";
  }
  size_t frames = 0;
  size_t transfer_end = 0;
  for (size_t i = 0; i < units.size(); ++i) {
    if (!units[i].frame) continue;
    ++frames;
    transfer_end = i + 1;
  }
  ASSERT_GE(frames, IMAGE_SIZE / FRAME_PAYLOAD_SMALL);

  size_t completed = 0;
  size_t runs = 0;
  for (const size_t i : Sampled(units.size(), transfer_end, SERIAL_STRIDE)) {
    const Unit& unit = units[i];
    const std::vector<std::pair<const char*, uint64_t>> points = {
        {"before", unit.begins}, {"within", (unit.begins + unit.ends) / 2}, {"after", unit.ends}};
    for (const auto& [where, bytes] : points) {
      test::UpdateRig rig(UpdatePort::SERIAL, Image());
      const test::UpdateEnd end =
          rig.Run([&rig, at = bytes] { rig.Camera().Serial().UnplugAfterBytes(at); });
      Check(UpdatePort::SERIAL, std::string(where) + " host unit " + std::to_string(i), rig, end,
            completed);
      ++runs;
    }
  }
  std::cout << "serial: " << units.size() << " host units (" << frames << " frames), " << runs
            << " unplugged runs, " << completed << " completed\n";
}

TEST(UnplugSweep, EndsInAnErrorOrACompletedFlashThroughTheStoragePipe) {
  // The clean run: the SCSI commands of the upload, over the SG_IO variant,
  // and the first after the camera had the whole image.
  size_t first = 0;
  size_t transfer_end = 0;
  size_t last = 0;
  {
    test::UpdateRig rig(UpdatePort::SG_IO, Image());
    rig.BeforeScsiCommand([&](size_t index) {
      const bool whole = rig.Camera().Model().Firmware().Statement().transfer_complete;
      if (whole && transfer_end == 0) transfer_end = index;
    });
    const test::UpdateEnd end = rig.Run([&] { first = rig.ScsiCommands(); });
    ASSERT_EQ(end.message, StringText(STR_WRITE_COMPLETE));
    last = rig.ScsiCommands();
  }
  ASSERT_GT(transfer_end, first);

  size_t completed = 0;
  size_t runs = 0;
  // The variants take the commands in turn; each runs the same pipe phases.
  const UpdatePort ports[] = {UpdatePort::SG_IO, UpdatePort::PASS_THROUGH, UpdatePort::ASPI};
  for (const size_t i : Sampled(last - first, transfer_end - first, STORAGE_STRIDE)) {
    const size_t k = first + i;
    const UpdatePort port = ports[k % std::size(ports)];
    test::UpdateRig rig(port, Image());
    rig.BeforeScsiCommand([&rig, k](size_t index) {
      if (index == k) rig.Camera().Endpoint().Unplug(sim::VirtualNowMs());
    });
    const test::UpdateEnd end = rig.Run();
    Check(port, "before SCSI command " + std::to_string(k), rig, end, completed);
    ++runs;
  }
  std::cout << "storage pipe: " << last - first << " commands, " << runs << " unplugged runs, "
            << completed << " completed\n";
}

}  // namespace
}  // namespace pelox
