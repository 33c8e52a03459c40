#include "tests/app/update_rig.h"

#include "app/dialog_ids.h"
#include "app/resources/strings.h"
#include "app/upload_worker.h"
#include "link/engine_frame.h"
#include "link/exchanges.h"
#include "link/link_list.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "sim/serial_line.h"
#include "sim/storage/pass_through_drives.h"
#include "sim/storage/sg_devices.h"
#include "sim/storage/storage_bus.h"
#include "sim/storage/virtual_face_clock.h"
#include "sim/virtual_clock.h"
#include "tests/app/fake_companion_system.h"
#include "tests/app/phase_rules.h"
#include "transport/discovery/device_table.h"
#include "transport/port/port.h"
#include "transport/storage/aspi/aspi_transport.h"
#include "transport/storage/storage_init.h"

namespace pelox::test {
namespace {

constexpr int32_t COM1 = 1;

void ResetPlatform() {
  LinkDestroyAll();
  StorageResetState();
  DeviceTableReset();
  PortResetState();
  sim::StorageBusReset();
  sim::SerialLineReset();
  sim::VirtualClockReset(0);
  Companion() = {};
}

sim::StorageVariant VariantOf(UpdatePort port) {
  switch (port) {
    case UpdatePort::ASPI: return sim::StorageVariant::ASPI;
    case UpdatePort::PASS_THROUGH: return sim::StorageVariant::PASS_THROUGH;
    default: return sim::StorageVariant::SG_IO;
  }
}

// The protocol's bound on one update. Every wait is a control-byte time-out
// at most, in the port's units (10 ms on the serial line, a second on the
// storage pipe, where the camera may hold the answer phase that long); each
// unit is tried EXCHANGE_TRIES times, each try reading its answer up to
// ACK_READS_PER_TRY times; a transaction runs again after each of
// RECONNECT_BUDGET reconnections of CONNECT_UNITS units. The flash wait adds
// its minute and the camera's longest busy time.
constexpr uint64_t SERIAL_UNIT_MS = 10;
constexpr uint64_t STORAGE_UNIT_MS = 1000;
constexpr uint64_t ACK_READS_PER_TRY = 5;
constexpr uint64_t CONNECT_UNITS = 3;
constexpr uint64_t TRANSACTION_RUNS = RECONNECT_BUDGET + 1;
// The longest port call: a control-byte read, a storage command's wait.
constexpr uint64_t SERIAL_PORT_CALL_MS = TIMEOUT_CONTROL_BYTE * SERIAL_UNIT_MS;
constexpr uint64_t STORAGE_PORT_CALL_MS = ASPI_WRITE_WAIT_SECONDS * STORAGE_UNIT_MS;

}  // namespace

std::string UpdatePortName(UpdatePort port) {
  switch (port) {
    case UpdatePort::SERIAL: return "Serial";
    case UpdatePort::ASPI: return "Aspi";
    case UpdatePort::PASS_THROUGH: return "PassThrough";
    case UpdatePort::SG_IO: return "SgIo";
  }
  return "Unknown";
}

uint64_t UpdateBoundMs(size_t image_size, UpdatePort port) {
  const bool serial = port == UpdatePort::SERIAL;
  const uint64_t control_wait_ms =
      TIMEOUT_CONTROL_BYTE * (serial ? SERIAL_UNIT_MS : STORAGE_UNIT_MS);
  const uint64_t try_ms = EXCHANGE_TRIES * ACK_READS_PER_TRY * control_wait_ms;
  const size_t capacity = serial ? FRAME_PAYLOAD_SMALL : FRAME_PAYLOAD_LARGE;
  const uint64_t frames = (image_size + 2 + capacity - 1) / capacity;
  const uint64_t key_set = 1;
  const uint64_t write_action = 1;
  const uint64_t last_poll = 1;
  const uint64_t transactions = frames + key_set + write_action + last_poll;
  return TRANSACTION_RUNS * (transactions + CONNECT_UNITS) * try_ms + CAMERA_WRITE_WAIT_MS +
         sim::MAX_FLASH_BUSY_MS;
}

std::string BrokenPromises(const UpdateEnd& end, const sim::VirtualCamera& camera,
                           const std::vector<uint8_t>& image, uint64_t bound_ms, bool released) {
  const sim::FirmwareStore& store = camera.Model().Firmware();
  const bool complete = end.message == StringText(STR_WRITE_COMPLETE);
  const bool flashed = store.Statement().outcome == sim::FlashOutcome::FLASHED;
  std::vector<std::string> broken;
  if (!end.upload_offered) broken.emplace_back("the checks failed before any upload");
  if (!complete && end.message != StringText(STR_WRITE_ERROR))
    broken.emplace_back("no final message");
  if (complete && !flashed) broken.emplace_back("complete without a flash");
  if (flashed && store.Image() != image) broken.emplace_back("flashed other bytes than the image");
  if (camera.Other().Firmware().Statement().transfer_started)
    broken.emplace_back("another camera was sent firmware");
  if (camera.Endpoint().WriteCommands() > 1 + camera.Endpoint().WriteCommandNaks())
    broken.emplace_back("the write command was sent again unasked");
  if (end.upload_ms > bound_ms) broken.emplace_back("ran past its bound");
  if (end.stall_ms > end.stall_limit_ms) broken.emplace_back("stalled past its limit");
  if (!released) broken.emplace_back("the link, its port or a worker was not released");
  const RunCause cause = end.phases.empty() ? RunCause::NONE : end.phases.back().cause;
  if (const std::string fault = test::PhaseFault(end.phases); !fault.empty()) {
    broken.push_back("phases: " + fault);
  }
  if (complete != (cause == RunCause::WRITTEN)) broken.emplace_back("the cause belies the message");
  const bool asked_to_write = store.Statement().outcome != sim::FlashOutcome::NOT_ASKED;
  if (asked_to_write && (cause == RunCause::WRITE_FAILED || cause == RunCause::INTERRUPTED)) {
    broken.emplace_back("the camera was asked to write, yet the failure was told as safe");
  }
  if (broken.empty()) return {};
  std::string text;
  for (const std::string& what : broken) text += what + "; ";
  return text + "ended \"" + end.message + "\" after " + std::to_string(end.upload_ms) +
         " ms (bound " + std::to_string(bound_ms) + " ms); " +
         sim::DescribeStatement(store.Statement());
}

// The storage face, with a look at each command before the camera gets it.
class UpdateRig::HookedDevice : public sim::ScsiDevice {
 public:
  HookedDevice(sim::ScsiDevice& inner, UpdateRig& rig) : inner_(inner), rig_(rig) {}
  sim::ScsiOutcome Execute(const sim::ScsiCommand& command) override {
    const size_t index = rig_.scsi_commands_++;
    if (rig_.before_scsi_) rig_.before_scsi_(index);
    return inner_.Execute(command);
  }

 private:
  sim::ScsiDevice& inner_;
  UpdateRig& rig_;
};

UpdateRig::UpdateRig(UpdatePort port, const std::vector<uint8_t>& image, sim::CameraConfig other)
    : port_(port), camera_({}, std::move(other)) {
  ResetPlatform();
  WriteFile(scratch_.Path() / "Firmware.bin", image);
  if (port == UpdatePort::SERIAL) {
    sim::SerialLineAttach(COM1, camera_.Serial());
  } else {
    face_ = std::make_unique<sim::StorageFace>(camera_.Endpoint(), camera_.Log(), "PELOX",
                                               sim::VirtualFaceClock());
    device_ = std::make_unique<HookedDevice>(*face_, *this);
    sim::StorageBusUse(VariantOf(port));
    sim::StorageBusAttach(VariantOf(port), 1, *device_);
  }
}

UpdateRig::~UpdateRig() {
  dialog_.reset();
  ResetPlatform();
}

void UpdateRig::Settle() {
  // Runs the newest worker while one waits: the animator is never the
  // newest, and the step that stops it joins it.
  for (;;) {
    view_.Pump([this](uint32_t command) { dialog_->Command(command); });
    const size_t pending = view_.WorkersPending();
    if (pending == 0) return;
    view_.RunWorker(view_.WorkersStarted() - 1);
    if (view_.WorkersPending() == pending) return;  // nothing moved: the end tells
  }
}

UpdateEnd UpdateRig::Run(const std::function<void()>& before_upload) {
  UpdateEnd end;
  dialog_ = std::make_unique<MainDialog>(view_);
  dialog_->Start();
  Settle();
  if (!view_.enabled[CONTROL_UPLOAD]) {
    end.message = view_.messages.empty() ? "" : view_.messages.back();
    return end;
  }
  end.upload_offered = true;
  if (before_upload) before_upload();
  const uint64_t pressed = sim::VirtualNowMs();
  dialog_->Command(CONTROL_UPLOAD);
  Settle();
  end.upload_ms = sim::VirtualNowMs() - pressed;
  end.stall_ms = view_.longest_still_ms;
  end.stall_limit_ms = TRANSFER_STALL_MS +
                       (port_ == UpdatePort::SERIAL ? SERIAL_PORT_CALL_MS : STORAGE_PORT_CALL_MS);
  end.message = view_.messages.back();
  end.facts = view_.facts;
  end.phases = view_.phases;
  return end;
}

bool UpdateRig::CloseAndCheckReleased() {
  dialog_->Command(CONTROL_CLOSE);
  dialog_.reset();
  bool released = view_.closed && view_.WorkersPending() == 0 && LinkLiveCount() == 0;
  switch (port_) {
    case UpdatePort::SERIAL: released = released && sim::SerialLineHostBaud(COM1) == 0; break;
    case UpdatePort::PASS_THROUGH: released = released && sim::PassThroughOpenHandles() == 0; break;
    case UpdatePort::SG_IO: released = released && sim::SgOpenHandles() == 0; break;
    case UpdatePort::ASPI: break;  // ASPI holds no device handle
  }
  return released;
}

}  // namespace pelox::test
