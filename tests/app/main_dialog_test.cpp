// The step machine against the virtual camera on a simulated COM1, in
// virtual time, with a recording view. Worker bodies run on the test thread
// in the order the test chooses.
#include "app/main_dialog.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

#include "app/dialog_ids.h"
#include "app/resources/strings.h"
#include "app/upload_worker.h"
#include "commands/firmware_commands.h"
#include "platform/file.h"
#include "sim/camera/fault_plan.h"
#include "sim/camera/virtual_camera.h"
#include "sim/serial_line.h"
#include "sim/storage/os_version.h"
#include "sim/storage/sg_devices.h"
#include "sim/virtual_clock.h"
#include "tests/app/fake_companion_system.h"
#include "tests/app/firmware_files.h"
#include "tests/app/phase_rules.h"
#include "tests/app/recording_view.h"
#include "tests/transport/storage/storage_camera.h"
#include "tools/firmware_sample.h"
#include "transport/discovery/device_table.h"
#include "transport/storage/storage_init.h"

namespace pelox {
namespace {

using test::RecordingView;

constexpr int32_t COM1 = 1;
// Order of the workers step 1005 starts.
constexpr size_t TRANSFER_WORKER = 0;
constexpr size_t FLASH_WAIT_WORKER = 2;

std::string Text(int32_t id) { return std::string(StringText(id)); }
std::string Text(int32_t first, int32_t second) { return Text(first) + "\n" + Text(second); }

class MainDialogSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::VirtualClockReset(0);
    sim::SerialLineReset();
    test::Companion() = {};
  }
  void TearDown() override {
    dialog_.reset();
    sim::SerialLineReset();
    sim::SgDevicesReset();
    sim::SimOsVersionReset();
    StorageResetState();
    DeviceTableReset();
  }

  void AttachCamera(sim::CameraConfig config = {}) {
    camera_ = std::make_unique<sim::VirtualCamera>(std::move(config));
    sim::SerialLineAttach(COM1, camera_->Serial());
  }
  // A camera on the storage pipe (SG_IO), found before any COM port.
  sim::VirtualCamera& AttachStorageCamera(sim::CameraConfig config = {}) {
    storage_camera_ = std::make_unique<test::StorageCamera>("PELOX", std::move(config));
    sim::SimOsVersionSet(OsVersion{OS_PLATFORM_LINUX, 6, 1});
    sim::SgDeviceAdd({"/dev/sg1", &storage_camera_->face, false});
    return storage_camera_->camera;
  }
  void WriteFirmware(const std::string& version, size_t payload_size = 5000) {
    image_ = SampleFirmwareImage(version, SamplePayload(payload_size));
    test::WriteFile(scratch_.Path() / "Firmware.bin", image_);
  }
  void Pump() {
    view_.Pump([this](uint32_t command) { dialog_->Command(command); });
  }
  // Starts the dialog and runs steps 1000 to 1003.
  void RunChecks(VersionAllowance allowance = {}) {
    dialog_ = std::make_unique<MainDialog>(view_);
    dialog_->AllowVersions(allowance);
    dialog_->Start();
    Pump();
  }
  void PressUploadAndTransfer() {
    dialog_->Command(CONTROL_UPLOAD);
    Pump();
    view_.RunWorker(TRANSFER_WORKER);
    Pump();
  }

  test::ScratchDirectory scratch_;
  RecordingView view_;
  std::unique_ptr<sim::VirtualCamera> camera_;
  std::unique_ptr<test::StorageCamera> storage_camera_;
  std::unique_ptr<MainDialog> dialog_;
  std::vector<uint8_t> image_;
};

TEST_F(MainDialogSteps, ReachesUploadWithoutAClick) {
  AttachCamera();
  WriteFirmware("v517-1.10");
  dialog_ = std::make_unique<MainDialog>(view_);
  dialog_->Start();
  EXPECT_EQ(view_.cursor, CURSOR_WAIT);
  EXPECT_FALSE(view_.enabled[CONTROL_UPLOAD]);
  Pump();
  // Step 1002 shows nothing: "Checking Firmware..." stays until step 1003.
  EXPECT_EQ(view_.messages,
            (std::vector<std::string>{Text(STR_COMMUNICATION_AUTO), Text(STR_CHECKING_FIRMWARE),
                                      Text(STR_CHECKING_CAMERA), Text(STR_CLICK_UPLOAD)}));
  EXPECT_TRUE(view_.enabled[CONTROL_UPLOAD]);
  EXPECT_TRUE(view_.enabled[CONTROL_CLOSE]);
  EXPECT_EQ(view_.cursor, CURSOR_ARROW);
  EXPECT_TRUE(view_.Progress().empty());
  EXPECT_EQ(view_.PostedSteps(), (std::vector<int32_t>{STEP_CONNECT, STEP_OPEN_FIRMWARE,
                                                       STEP_CHECK_FIRMWARE, STEP_CHECK_CAMERA}));
}

struct CheckFailure {
  const char* name;
  sim::CameraConfig camera;
  bool camera_attached;
  std::string image_version;  // empty: no Firmware.bin
  int32_t start_message;      // the message the failure replaces
  int32_t message;
  RunCause cause;  // told with the end, after the cause's one phase sequence
  size_t payload_size = 5000;
  bool fifo = false;        // Firmware.bin is a FIFO that nobody writes
  const char* faults = "";  // the camera's, apart by spaces
};

void AddFaults(const std::string& rules, sim::VirtualCamera& camera) {
  std::istringstream faults(rules);
  for (std::string fault, error; faults >> fault;) {
    camera.Faults().Add(sim::ParseFaultRule(fault, error).value());
  }
}

void PrintTo(const CheckFailure& failure, std::ostream* out) { *out << failure.name; }

class MainDialogCheckFailure : public MainDialogSteps,
                               public ::testing::WithParamInterface<CheckFailure> {};

TEST_P(MainDialogCheckFailure, LeavesExactlyOneMessageAndUploadDisabled) {
  const CheckFailure& failure = GetParam();
  if (failure.camera_attached) {
    AttachCamera(failure.camera);
    AddFaults(failure.faults, *camera_);
  }
  if (!failure.image_version.empty()) WriteFirmware(failure.image_version, failure.payload_size);
  if (failure.fifo) {
#ifdef _WIN32
    GTEST_SKIP() << "no FIFOs here";
#else
    ASSERT_EQ(mkfifo((scratch_.Path() / "Firmware.bin").c_str(), 0600), 0);
#endif
  }
  RunChecks();
  ASSERT_GE(view_.messages.size(), 2u);
  EXPECT_EQ(view_.messages.back(), Text(failure.message));
  EXPECT_EQ(view_.messages[view_.messages.size() - 2], Text(failure.start_message));
  EXPECT_FALSE(view_.enabled[CONTROL_UPLOAD]);
  EXPECT_TRUE(view_.enabled[CONTROL_CLOSE]);
  EXPECT_EQ(view_.cursor, CURSOR_WAIT);
  EXPECT_EQ(view_.phases.back().cause, failure.cause);
  EXPECT_EQ(test::PhaseFault(view_.phases), "");
  // The chain has ended: pressing Upload anyway starts nothing.
  dialog_->Command(CONTROL_UPLOAD);
  Pump();
  EXPECT_EQ(view_.WorkersStarted(), 0u);
}

sim::CameraConfig Camera(std::string maker, std::string version, uint32_t battery) {
  sim::CameraConfig config;
  config.maker = std::move(maker);
  config.firmware_version = std::move(version);
  config.battery_level = battery;
  return config;
}

CheckFailure AtTenPercent(const char* name, const char* faults) {
  CheckFailure failure{
      name, {}, true, "v517-1.10", STR_CHECKING_CAMERA, STR_BATTERY_LOW, RunCause::BATTERY_LOW};
  failure.camera.battery_level = 10;
  failure.faults = faults;
  return failure;
}

INSTANTIATE_TEST_SUITE_P(
    EachCheck, MainDialogCheckFailure,
    ::testing::Values(
        CheckFailure{"NoCamera",
                     {},
                     false,
                     "v517-1.10",
                     STR_COMMUNICATION_AUTO,
                     STR_CAMERA_NOT_CONNECTED,
                     RunCause::NO_CAMERA},
        CheckFailure{"NoFirmwareFile",
                     {},
                     true,
                     "",
                     STR_CHECKING_FIRMWARE,
                     STR_NO_FIRMWARE,
                     RunCause::IMAGE_REFUSED},
        CheckFailure{"FirmwareFileIsAFifo",
                     {},
                     true,
                     "",
                     STR_CHECKING_FIRMWARE,
                     STR_NO_FIRMWARE,
                     RunCause::IMAGE_REFUSED,
                     0,
                     true},
        // Refused before it is read, so that no file sizes the memory.
        CheckFailure{"ImageAboveTwoMebibytes",
                     {},
                     true,
                     "v517-1.10",
                     STR_CHECKING_FIRMWARE,
                     STR_FIRMWARE_NOT_CORRECT,
                     RunCause::IMAGE_REFUSED,
                     2097153 - 96},
        CheckFailure{"OtherMaker", Camera("OTHER CO.,LTD.", "v517-1.00", 100), true, "v517-1.10",
                     STR_CHECKING_CAMERA, STR_CAMERA_PROBLEM, RunCause::OTHER_MAKER},
        CheckFailure{"SameVersion", Camera("PELOX CO.,LTD.", "v517-1.10", 100), true, "v517-1.10",
                     STR_CHECKING_CAMERA, STR_FIRMWARE_NOT_CORRECT, RunCause::UP_TO_DATE},
        CheckFailure{"OtherFamily", Camera("PELOX CO.,LTD.", "v518-1.00", 100), true, "v517-1.10",
                     STR_CHECKING_CAMERA, STR_FIRMWARE_NOT_CORRECT, RunCause::OTHER_FAMILY},
        CheckFailure{"LowBattery", Camera("pelox co.,ltd.", "v517-1.00", 49), true, "v517-1.10",
                     STR_CHECKING_CAMERA, STR_BATTERY_LOW, RunCause::BATTERY_LOW},
        CheckFailure{"LowBatteryOtherFamily", Camera("PELOX CO.,LTD.", "v600-1.00", 79), true,
                     "v600-1.10", STR_CHECKING_CAMERA, STR_BATTERY_LOW, RunCause::BATTERY_LOW},
        // Stray bytes before the battery's reply are passed over, a NAK still
        // asks for the request again, and a query that fails is asked once more.
        AtTenPercent("LowBatteryAfterNakThenAck", "nak-ack@get:16*8"),
        AtTenPercent("LowBatteryAfterThreeAcks", "acks=3@get:16*8"),
        AtTenPercent("LowBatteryAfterAQueryLost", "drop@get:16*4")),
    [](const auto& case_info) { return std::string(case_info.param.name); });

// A camera that answers its first gets late is read right or not found:
// never refused for a late reply taken as a later request's.
class MainDialogLateReplies
    : public MainDialogSteps,
      public ::testing::WithParamInterface<std::tuple<const char*, const char*>> {};

TEST_P(MainDialogLateReplies, ReadsTheCameraRightOrFindsNone) {
  const auto& [faults, port] = GetParam();
  const bool storage = std::string(port) == "StoragePipe";
  if (!storage) AttachCamera(Camera("PELOX CO.,LTD.", "v517-1.00", 100));
  sim::VirtualCamera& camera = storage ? AttachStorageCamera() : *camera_;
  AddFaults(faults, camera);
  WriteFirmware("v517-1.10");
  RunChecks();
  const UpdateState& end = view_.phases.back();
  if (end.cause == RunCause::NO_CAMERA) return;
  ASSERT_EQ(end.phase, UpdatePhase::READY) << RunCauseText(end.cause) << camera.Log().Describe();
  const DialogFacts& read = view_.facts;
  EXPECT_EQ(read.maker + " " + read.camera_version + " " + std::to_string(read.battery),
            "PELOX CO.,LTD. v517-1.00 100");
}

INSTANTIATE_TEST_SUITE_P(
    EitherPort, MainDialogLateReplies,
    ::testing::Combine(::testing::Values("delay=1500@get", "delay=1500@get*2", "delay=1500@get*3",
                                         "delay=1500@get*4", "delay=1500@get*8",
                                         "delay=1500@get*40", "acks=3@any*40", "nak-ack@get*40"),
                       ::testing::Values("Serial", "StoragePipe")));

TEST_F(MainDialogSteps, RefusesAnImageWhoseSumDoesNotMatch) {
  AttachCamera();
  WriteFirmware("v517-1.10");
  image_.back() ^= 0x01;
  test::WriteFile(scratch_.Path() / "Firmware.bin", image_);
  RunChecks();
  EXPECT_EQ(view_.messages.back(), Text(STR_FIRMWARE_NOT_CORRECT));
  EXPECT_EQ(view_.messages[view_.messages.size() - 2], Text(STR_CHECKING_FIRMWARE));
}

TEST_F(MainDialogSteps, FindsNoFirmwareInAnEmptyFileAndSharesOneHeldOpenElsewhere) {
  AttachCamera();
  test::WriteFile(scratch_.Path() / "Firmware.bin", {});
  RunChecks();
  EXPECT_EQ(view_.messages.back(), Text(STR_NO_FIRMWARE));
  dialog_.reset();  // it holds the file until it goes

  WriteFirmware("v517-1.10");
  uint32_t error = 0;
  FileHandle holder = FileOpenRead((scratch_.Path() / "Firmware.bin").string().c_str(), error);
  ASSERT_NE(holder, nullptr);
  RecordingView second_view;
  MainDialog second(second_view);
  second.Start();
  second_view.Pump([&](uint32_t command) { second.Command(command); });
  // Several uploaders may read one image; only Windows keeps it unshared.
#ifdef _WIN32
  EXPECT_EQ(second_view.messages.back(), Text(STR_NO_FIRMWARE));
#else
  EXPECT_EQ(second_view.messages.back(), Text(STR_CLICK_UPLOAD));
#endif
  FileClose(holder);
}

TEST_F(MainDialogSteps, RunsAStepWhateverItsNotificationCode) {
  AttachCamera();
  WriteFirmware("v517-1.10");
  dialog_ = std::make_unique<MainDialog>(view_);
  dialog_->Command((1u << 16) | STEP_OPEN_FIRMWARE);
  EXPECT_EQ(view_.messages, std::vector<std::string>{Text(STR_CHECKING_FIRMWARE)});
  EXPECT_EQ(view_.PostedSteps(), std::vector<int32_t>{STEP_CHECK_FIRMWARE});
}

TEST_F(MainDialogSteps, UpdatesTheCameraFromUploadToCompletion) {
  AttachCamera();
  // An image without a single zero byte: its header text ends with the file.
  image_ = SampleFirmwareImage("v517-1.10", std::vector<uint8_t>(65536, 0xA5), ' ');
  test::WriteFile(scratch_.Path() / "Firmware.bin", image_);
  RunChecks();
  dialog_->Command(CONTROL_UPLOAD);
  Pump();
  // Step 1004: both buttons disabled, focus parked on Close, wait cursor.
  EXPECT_FALSE(view_.enabled[CONTROL_UPLOAD]);
  EXPECT_FALSE(view_.enabled[CONTROL_CLOSE]);
  EXPECT_EQ(view_.focus, CONTROL_CLOSE);
  EXPECT_EQ(view_.cursor, CURSOR_WAIT);
  EXPECT_EQ(view_.messages.back(), Text(STR_UPLOADING, STR_DO_NOT_TURN_OFF));
  EXPECT_EQ(view_.Progress(), std::vector<int32_t>{0});

  // Close is refused by the step machine itself while the camera is busy.
  dialog_->Command(CONTROL_CLOSE);
  EXPECT_FALSE(view_.closed);
  view_.RunWorker(TRANSFER_WORKER);
  const std::vector<int32_t> transfer_progress = view_.Progress();
  EXPECT_EQ(transfer_progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(transfer_progress.begin(), transfer_progress.end()));
  Pump();
  EXPECT_EQ(view_.messages.back(), Text(STR_WRITING, STR_DO_NOT_TURN_OFF));
  EXPECT_FALSE(view_.enabled[CONTROL_CLOSE]);
  dialog_->Command(CONTROL_CLOSE);
  EXPECT_FALSE(view_.closed);

  view_.RunWorker(FLASH_WAIT_WORKER);
  Pump();
  EXPECT_EQ(view_.messages.back(), Text(STR_WRITE_COMPLETE));
  EXPECT_TRUE(view_.enabled[CONTROL_CLOSE]);
  EXPECT_FALSE(view_.enabled[CONTROL_UPLOAD]);
  EXPECT_EQ(view_.focus, CONTROL_CLOSE);
  EXPECT_EQ(view_.cursor, CURSOR_ARROW);
  EXPECT_EQ(view_.Progress().back(), 0);

  const sim::FirmwareStatement& statement = camera_->Model().Firmware().Statement();
  EXPECT_EQ(statement.outcome, sim::FlashOutcome::FLASHED);
  EXPECT_EQ(camera_->Model().Firmware().Image(), image_);
  dialog_->Command(CONTROL_CLOSE);
  EXPECT_TRUE(view_.closed);
}

class MainDialogSilentCamera : public MainDialogSteps,
                               public ::testing::WithParamInterface<const char*> {};

TEST_P(MainDialogSilentCamera, WaitsForTheWriteOneMinuteAtMostWithTheWarningShown) {
  // The camera takes action 11, then neither ends it nor answers anything.
  sim::CameraConfig config;
  config.never_ready = true;
  const bool storage = std::string(GetParam()) == "StoragePipe";
  if (!storage) AttachCamera(config);
  sim::VirtualCamera& camera = storage ? AttachStorageCamera(config) : *camera_;
  WriteFirmware("v517-1.10");
  RunChecks();
  PressUploadAndTransfer();
  camera.Log().Clear();
  camera.Faults().Add({.kind = sim::FaultKind::UNPLUG, .occurrence = 2});
  view_.RunWorker(FLASH_WAIT_WORKER);
  const auto& log = camera.Log().Entries();
  const auto action = std::find_if(log.begin(), log.end(), [](const sim::LogEntry& entry) {
    return entry.direction == sim::Direction::FROM_HOST;
  });
  ASSERT_NE(action, log.end());
  EXPECT_EQ(action->verdict, sim::Verdict::ACCEPTED);
  EXPECT_LE(sim::VirtualNowMs() - action->time_ms, CAMERA_WRITE_WAIT_MS + FULL_POLL_MS);
  EXPECT_GE(sim::VirtualNowMs() - action->time_ms, CAMERA_WRITE_WAIT_MS);
  EXPECT_EQ(view_.messages.back(), Text(STR_WRITING, STR_DO_NOT_TURN_OFF));
  Pump();
  EXPECT_EQ(view_.messages.back(), Text(STR_WRITE_ERROR));
}

INSTANTIATE_TEST_SUITE_P(OnEitherPort, MainDialogSilentCamera,
                         ::testing::Values("Serial", "StoragePipe"),
                         [](const auto& case_info) { return std::string(case_info.param); });

// How the write ends, by what the camera does with the write command.
struct FlashEnd {
  const char* name;
  const char* fault;  // the camera's faults from the write command on, apart by spaces
  sim::CameraConfig camera;
  int32_t message;
  bool flashed;
  const char* detail;                            // part of the write detail of a failure
  RunCause failure = RunCause::WRITE_UNCERTAIN;  // the cause of STR_WRITE_ERROR
};

void PrintTo(const FlashEnd& end, std::ostream* out) { *out << end.name; }

sim::CameraConfig FlashingFor(uint32_t busy_ms, bool never_ready = false) {
  sim::CameraConfig config;
  config.flash_busy_ms = busy_ms;
  config.never_ready = never_ready;
  return config;
}

// A camera that already has the image's version: --allow-reinstall.
constexpr const char* IMAGE_VERSION = "v517-1.10";
sim::CameraConfig AtTheImagesVersion() {
  sim::CameraConfig config;
  config.firmware_version = IMAGE_VERSION;
  return config;
}

class MainDialogFlashEnd : public MainDialogSteps,
                           public ::testing::WithParamInterface<std::tuple<FlashEnd, const char*>> {
};

TEST_P(MainDialogFlashEnd, CompletesOnlyOnTheCamerasOwnReadyAfterWriting) {
  const auto& [end, port] = GetParam();
  const bool storage = std::string(port) == "StoragePipe";
  if (!storage) AttachCamera(end.camera);
  sim::VirtualCamera& camera = storage ? AttachStorageCamera(end.camera) : *camera_;
  WriteFirmware(IMAGE_VERSION);
  RunChecks({.same = end.camera.firmware_version == IMAGE_VERSION});
  PressUploadAndTransfer();
  AddFaults(end.fault, camera);
  const uint64_t deadline =
      sim::VirtualNowMs() + FIRMWARE_WRITE_DELAY_MS + CAMERA_WRITE_WAIT_MS + FULL_POLL_MS;
  view_.RunWorker(FLASH_WAIT_WORKER);
  EXPECT_EQ(view_.messages.back(), Text(STR_WRITING, STR_DO_NOT_TURN_OFF));
  EXPECT_LE(sim::VirtualNowMs(), deadline);
  Pump();
  EXPECT_EQ(view_.messages.back(), Text(end.message));
  const sim::FirmwareStatement& statement = camera.Model().Firmware().Statement();
  EXPECT_EQ(statement.outcome == sim::FlashOutcome::FLASHED, end.flashed)
      << sim::DescribeStatement(statement);
  EXPECT_TRUE(view_.facts.write_command_sent);
  // Once the write command may have left, a failure is never told as safe.
  EXPECT_EQ(view_.phases.back().cause,
            end.message == STR_WRITE_COMPLETE ? RunCause::WRITTEN : end.failure);
  EXPECT_EQ(test::PhaseFault(view_.phases), "");
  // The write command left once, and again only when the camera asked.
  EXPECT_EQ(camera.Endpoint().WriteCommands(), (end.failure == RunCause::WRITE_REFUSED ? 0 : 1) +
                                                   camera.Endpoint().WriteCommandNaks());
  EXPECT_NE(view_.facts.write_detail.find(end.detail), std::string::npos)
      << view_.facts.write_detail;
  if (end.message == STR_WRITE_ERROR) {
    EXPECT_EQ(view_.messages_before_facts, view_.messages.size() - 1);
  }
  // Every request had time for its reply, and every reconnection for its
  // handshake: the camera heard nothing from the host it could not answer.
  EXPECT_EQ(camera.Endpoint().UnreadReplies(), 0u);
  const uint64_t reply_ms = storage ? 1000 : 500;
  for (const sim::LogEntry& entry : camera.Log().Entries()) {
    if (entry.direction != sim::Direction::FROM_HOST) continue;
    EXPECT_LE(entry.time_ms + reply_ms, deadline) << entry.note;
    if (entry.bytes == std::vector<uint8_t>{0}) {
      EXPECT_LE(entry.time_ms + 3600 + reply_ms, deadline);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    EitherPort, MainDialogFlashEnd,
    ::testing::Combine(
        ::testing::Values(
            FlashEnd{"ReadyAtItsLimit", "", FlashingFor(CAMERA_WRITE_WAIT_MS), STR_WRITE_COMPLETE,
                     true, ""},
            FlashEnd{"ErrorEndsTheWrite",
                     "end-error@action:11",
                     {},
                     STR_WRITE_ERROR,
                     false,
                     "reported an error"},
            FlashEnd{"DeafWhileWriting", "mute=25000@action:11", {}, STR_WRITE_COMPLETE, true, ""},
            FlashEnd{"AcknowledgementLost", "drop@action:11*4", {}, STR_WRITE_COMPLETE, true, ""},
            FlashEnd{"WritesAgainOnEachWriteCommand",
                     "rewrite=25000@action:11",
                     {},
                     STR_WRITE_COMPLETE,
                     true,
                     ""},
            FlashEnd{
                "AskedForTheCommandAgain", "nak@action:11*2", {}, STR_WRITE_COMPLETE, true, ""},
            FlashEnd{"CommandRefused",
                     "refuse@action:11*4",
                     {},
                     STR_WRITE_ERROR,
                     false,
                     "with version v517-1.00"},
            FlashEnd{"BusyPastTheDeadline", "", FlashingFor(5000, true), STR_WRITE_ERROR, false,
                     "did not report ready"},
            FlashEnd{"EveryCopyRefusedWithNak", "nak@action:11*4", sim::CameraConfig{},
                     STR_WRITE_ERROR, false, "every copy of the write command with NAK",
                     RunCause::WRITE_REFUSED},
            // A camera that already has the image's version proves nothing by
            // it: only its own word on the write command is a success.
            FlashEnd{"ReinstallConfirmed", "", AtTheImagesVersion(), STR_WRITE_COMPLETE, true, ""},
            FlashEnd{"ReinstallRefusedWithAnError", "refuse@action:11", AtTheImagesVersion(),
                     STR_WRITE_ERROR, false, "is the one it had before"},
            FlashEnd{"ReinstallUnanswered", "drop@action:11", AtTheImagesVersion(), STR_WRITE_ERROR,
                     true, "is the one it had before"},
            FlashEnd{"ReinstallAnsweredWithGarbage", "garbage@action:11", AtTheImagesVersion(),
                     STR_WRITE_ERROR, false, "is the one it had before"},
            FlashEnd{"ReinstallNakThenSilence", "nak@action:11 drop@action:11#2",
                     AtTheImagesVersion(), STR_WRITE_ERROR, true, "is the one it had before"},
            FlashEnd{"ReinstallRefusedWithNakEveryTime", "nak@action:11*4", AtTheImagesVersion(),
                     STR_WRITE_ERROR, false, "every copy of the write command with NAK",
                     RunCause::WRITE_REFUSED},
            FlashEnd{"ReinstallGoneAfterItsAck", "gone=100@action:11", AtTheImagesVersion(),
                     STR_WRITE_ERROR, false, "is the one it had before"}),
        ::testing::Values("Serial", "StoragePipe")),
    [](const auto& case_info) {
      return std::string(std::get<0>(case_info.param).name) + std::get<1>(case_info.param);
    });

TEST_F(MainDialogSteps, ReportsAFailedWriteWhenTheCameraNeverComesBack) {
  sim::CameraConfig config;
  config.never_ready = true;
  AttachCamera(config);
  WriteFirmware("v517-1.10");
  RunChecks();
  PressUploadAndTransfer();
  const uint64_t write_started = sim::VirtualNowMs();
  view_.RunWorker(FLASH_WAIT_WORKER);
  EXPECT_GE(sim::VirtualNowMs() - write_started, 60000u);
  Pump();
  EXPECT_EQ(view_.messages.back(), Text(STR_WRITE_ERROR));
  EXPECT_TRUE(view_.enabled[CONTROL_CLOSE]);
  EXPECT_EQ(view_.Progress().back(), 0);
}

TEST_F(MainDialogSteps, ReportsAFailedWriteWhenTheCameraIsUnpluggedMidTransfer) {
  AttachCamera();
  WriteFirmware("v517-1.10", 40000);
  RunChecks();
  camera_->Serial().UnplugAfterBytes(camera_->Serial().BytesReceived() + 20000);
  PressUploadAndTransfer();
  EXPECT_EQ(view_.messages.back(), Text(STR_WRITE_ERROR));
  EXPECT_TRUE(view_.enabled[CONTROL_CLOSE]);
  EXPECT_EQ(view_.focus, CONTROL_CLOSE);
  EXPECT_EQ(view_.cursor, CURSOR_ARROW);
  EXPECT_EQ(view_.Progress().back(), 0);
  EXPECT_NE(camera_->Model().Firmware().Statement().outcome, sim::FlashOutcome::FLASHED);
}

// A cancel right after the last acknowledgement holds unless the write began,
// never both; without threads the upload fails before the transfer or goes
// on; a camera that stops acknowledging frames ends the transfer.
enum class CancelAt { NEVER, LAST_ACK, WRITE_BEGUN };
struct UploadCase {
  const char* name;
  size_t workers;  // the rest cannot start
  CancelAt cancel;
  uint32_t quiet_from_frame;  // 0: every frame is acknowledged
  const char* detail;         // empty: the camera writes the image
  RunCause cause;
};

void PrintTo(const UploadCase& upload, std::ostream* out) { *out << upload.name; }

class MainDialogUpload : public MainDialogSteps,
                         public ::testing::WithParamInterface<UploadCase> {};

TEST_P(MainDialogUpload, EndsAsTheCameraWasToldWithoutWaitingOnItself) {
  const UploadCase& upload = GetParam();
  const bool flashes = std::string(upload.detail).empty() && upload.cancel != CancelAt::LAST_ACK;
  AttachCamera();
  WriteFirmware("v517-1.10", 40000);
  RunChecks();
  view_.worker_limit = upload.workers;
  camera_->Faults().Add({.kind = sim::FaultKind::DROP_REPLY,
                         .target = sim::FaultTarget::WRITE_FRAME,
                         .occurrence = upload.quiet_from_frame,
                         .times = upload.quiet_from_frame == 0 ? 0 : 1000u});
  dialog_->Command(CONTROL_UPLOAD);
  Pump();
  if (view_.WorkersPending() != 0) view_.RunWorker(TRANSFER_WORKER);
  if (upload.cancel == CancelAt::WRITE_BEGUN) Pump();
  if (upload.cancel != CancelAt::NEVER) {
    EXPECT_EQ(dialog_->CancelTransfer(), !flashes);
  }
  Pump();
  if (view_.WorkersPending() != 0) view_.RunWorker(view_.WorkersStarted() - 1);
  Pump();
  EXPECT_EQ(camera_->Model().Firmware().Statement().outcome == sim::FlashOutcome::FLASHED, flashes);
  EXPECT_EQ(view_.facts.write_detail, upload.detail);
  EXPECT_EQ(view_.messages.back(), Text(flashes ? STR_WRITE_COMPLETE : STR_WRITE_ERROR));
  EXPECT_EQ(view_.phases.back().cause, upload.cause);
  EXPECT_EQ(test::PhaseFault(view_.phases), "");
}

INSTANTIATE_TEST_SUITE_P(
    CancelsThreadLimitsAndStalls, MainDialogUpload,
    ::testing::Values(
        UploadCase{"CancelAfterTheLastAck", SIZE_MAX, CancelAt::LAST_ACK, 0, "",
                   RunCause::INTERRUPTED},
        UploadCase{"CancelAfterTheWriteBegan", SIZE_MAX, CancelAt::WRITE_BEGUN, 0, "",
                   RunCause::WRITTEN},
        UploadCase{"NoTransferThread", 0, CancelAt::NEVER, 0,
                   "no thread could be started for the transfer", RunCause::WRITE_FAILED},
        UploadCase{"NoAnimatorNorFlashWaitThread", 1, CancelAt::NEVER, 0, "", RunCause::WRITTEN},
        UploadCase{"CameraQuietFromTheThirdFrame", SIZE_MAX, CancelAt::NEVER, 3,
                   TRANSFER_STALL_DETAIL, RunCause::WRITE_FAILED}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

// What may happen to Firmware.bin between its check and the transfer.
struct FileChange {
  const char* name;
  int32_t before_step;  // the change comes just before this step runs
  std::function<void(const std::filesystem::path&)> change;
};

void PrintTo(const FileChange& change, std::ostream* out) { *out << change.name; }

class MainDialogFileChange : public MainDialogSteps,
                             public ::testing::WithParamInterface<FileChange> {};

TEST_P(MainDialogFileChange, TheCameraGetsTheBytesThatWereChecked) {
  AttachCamera();
  WriteFirmware("v517-1.10");
  const std::filesystem::path path = scratch_.Path() / "Firmware.bin";
  dialog_ = std::make_unique<MainDialog>(view_);
  dialog_->Start();
  const auto dispatch = [&](uint32_t command) {
    if (static_cast<int32_t>(command) == GetParam().before_step) GetParam().change(path);
    dialog_->Command(command);
  };
  view_.Pump(dispatch);
  dialog_->Command(CONTROL_UPLOAD);
  view_.Pump(dispatch);
  view_.RunWorker(TRANSFER_WORKER);
  view_.Pump(dispatch);
  view_.RunWorker(FLASH_WAIT_WORKER);
  view_.Pump(dispatch);
  EXPECT_EQ(view_.messages.back(), Text(STR_WRITE_COMPLETE));
  EXPECT_EQ(camera_->Model().Firmware().Image(), image_);
}

INSTANTIATE_TEST_SUITE_P(
    WhileTheDialogRuns, MainDialogFileChange,
    ::testing::Values(FileChange{"TruncatedBeforeTheCheck", STEP_CHECK_FIRMWARE,
                                 [](const std::filesystem::path& path) {
                                   std::filesystem::resize_file(path, 0);
                                 }},
                      FileChange{"OverwrittenInPlaceBeforeTheTransfer", STEP_START_TRANSFER,
                                 [](const std::filesystem::path& path) {
                                   test::WriteFile(
                                       path, SampleFirmwareImage("v518-2.00", SamplePayload(5000)));
                                 }}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(MainDialogSteps, StartsOneTransferHoweverOftenUploadIsPressed) {
  AttachCamera();
  WriteFirmware("v517-1.10");
  RunChecks();
  dialog_->Command(CONTROL_UPLOAD);
  dialog_->Command(CONTROL_UPLOAD);
  Pump();
  EXPECT_EQ(view_.WorkersStarted(), 1u);
}

TEST_F(MainDialogSteps, CloseReleasesTheLinkAndTheFile) {
  AttachCamera();
  WriteFirmware("v517-1.10");
  RunChecks();
  dialog_->Command(CONTROL_CLOSE);
  EXPECT_TRUE(view_.closed);
  EXPECT_EQ(view_.phases.back().cause, RunCause::CLOSED);
  EXPECT_EQ(test::PhaseFault(view_.phases), "");
  // The file is no longer held: it opens again without sharing.
  uint32_t error = 0;
  FileHandle reopened = FileOpenRead((scratch_.Path() / "Firmware.bin").string().c_str(), error);
  EXPECT_NE(reopened, nullptr);
  if (reopened != nullptr) FileClose(reopened);
  // The port is free again: a second dialog finds the camera.
  RecordingView second_view;
  MainDialog second(second_view);
  second.Start();
  second_view.Pump([&](uint32_t command) { second.Command(command); });
  EXPECT_EQ(second_view.messages.back(), Text(STR_CLICK_UPLOAD));
}

}  // namespace
}  // namespace pelox
