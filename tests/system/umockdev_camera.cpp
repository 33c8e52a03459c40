// Runs a program with a virtual camera on mocked SCSI devices: umockdev
// gives the program a sysfs tree and device nodes, and every SG_IO it sends
// reaches the camera's storage face here.
//
//   umockdev_camera [--vendor TEXT] [--flash-ms N] [--expect-firmware BYTES]
//                   [--pictures DIR | --generate-pictures N] -- program args...
//   umockdev_camera --replay FILE [--tolerate LIST] -- program args...
//
// The program's devices: /dev/sg0 (/dev/sdb) a USB disk of a camera maker
// that is no camera, /dev/sg1 (/dev/sdc) the camera, /dev/sg2 (/dev/sda) a
// fixed disk of the same maker inside the computer, /dev/sdd a USB card
// reader of another maker. The exit status is the
// program's, or 1 when the camera saw a protocol error or (with
// --expect-firmware) did not receive a whole firmware image of that size.
// With --replay, the devices answer as a storage-pipe recording says, and
// the status is 1 when the program's commands differ from the recorded ones.
#include <scsi/sg.h>
#include <sys/wait.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "sim/camera/virtual_camera.h"
#include "sim/camsim/camsim_options.h"
#include "sim/replay/scsi_replay.h"
#include "sim/storage/card_reader.h"
#include "sim/storage/storage_face.h"
#include "sim/vocabulary/command_vocabulary.h"
#include "sim/vocabulary/pictures.h"

namespace {

using pelox::sim::DataDirection;
using pelox::sim::ScsiDevice;
using pelox::sim::ScsiOutcome;

constexpr const char* DEVICES =
    "P: /devices/pci0000:00/usb1/1-1\n"
    "E: SUBSYSTEM=usb\n"
    "\n"
    "P: /devices/pci0000:00/usb1/1-1/1-1:1.0/host5/target5:0:0/5:0:0:0/scsi_generic/sg0\n"
    "N: sg0\n"
    "E: SUBSYSTEM=scsi_generic\n"
    "E: DEVNAME=/dev/sg0\n"
    "A: dev=21:0\n"
    "\n"
    "P: /devices/pci0000:00/usb1/1-1/1-1:1.0/host5/target5:0:0/5:0:0:0/block/sdb\n"
    "N: sdb\n"
    "E: SUBSYSTEM=block\n"
    "E: DEVNAME=/dev/sdb\n"
    "E: DEVTYPE=disk\n"
    "A: dev=8:16\n"
    "A: removable=1\n"
    "\n"
    "P: /devices/pci0000:00/usb1/1-2\n"
    "E: SUBSYSTEM=usb\n"
    "\n"
    "P: /devices/pci0000:00/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0/scsi_generic/sg1\n"
    "N: sg1\n"
    "E: SUBSYSTEM=scsi_generic\n"
    "E: DEVNAME=/dev/sg1\n"
    "A: dev=21:1\n"
    "\n"
    "P: /devices/pci0000:00/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0/block/sdc\n"
    "N: sdc\n"
    "E: SUBSYSTEM=block\n"
    "E: DEVNAME=/dev/sdc\n"
    "E: DEVTYPE=disk\n"
    "A: dev=8:32\n"
    "A: removable=1\n"
    "\n"
    "P: /devices/pci0000:00/ata1/host0/target0:0:0/0:0:0:0/scsi_generic/sg2\n"
    "N: sg2\n"
    "E: SUBSYSTEM=scsi_generic\n"
    "E: DEVNAME=/dev/sg2\n"
    "A: dev=21:2\n"
    "\n"
    "P: /devices/pci0000:00/ata1/host0/target0:0:0/0:0:0:0/block/sda\n"
    "N: sda\n"
    "E: SUBSYSTEM=block\n"
    "E: DEVNAME=/dev/sda\n"
    "E: DEVTYPE=disk\n"
    "A: dev=8:0\n"
    "A: removable=0\n"
    "\n"
    "P: /devices/pci0000:00/usb1/1-3\n"
    "E: SUBSYSTEM=usb\n"
    "\n"
    "P: /devices/pci0000:00/usb1/1-3/1-3:1.0/host7/target7:0:0/7:0:0:0/block/sdd\n"
    "N: sdd\n"
    "E: SUBSYSTEM=block\n"
    "E: DEVNAME=/dev/sdd\n"
    "E: DEVTYPE=disk\n"
    "A: dev=8:48\n"
    "A: removable=1\n";

constexpr uint8_t SCSI_CHECK_CONDITION = 0x02;
constexpr uint8_t MASKED_CHECK_CONDITION = 0x01;
constexpr uint16_t DRIVER_SENSE = 0x08;
constexpr uint16_t DID_TIME_OUT = 0x03;

struct Options {
  std::string vendor = "PELOX";
  uint32_t flash_ms = 2000;
  std::optional<uint32_t> expect_firmware;
  std::string replay_path;
  std::string tolerate;
  std::string fault;  // a rule of the camera's fault plan
  std::string pictures_dir;
  uint32_t generated_pictures = 0;
  std::vector<char*> program;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (option == "--vendor") {
      options.vendor = value;
    } else if (option == "--flash-ms") {
      options.flash_ms = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
    } else if (option == "--replay") {
      options.replay_path = value;
    } else if (option == "--tolerate") {
      options.tolerate = value;
    } else if (option == "--fault") {
      options.fault = value;
    } else if (option == "--pictures") {
      options.pictures_dir = value;
    } else if (option == "--generate-pictures") {
      options.generated_pictures = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
    } else if (option == "--expect-firmware") {
      options.expect_firmware = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
    } else {
      return false;
    }
  }
  for (++i; i < argc; ++i) options.program.push_back(argv[i]);
  options.program.push_back(nullptr);
  return options.program.size() > 1;
}

// The camera in real time, as the program experiences it.
pelox::sim::StorageFaceClock RealClock() {
  const auto start = std::chrono::steady_clock::now();
  auto now_ms = [start] {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
  };
  return {now_ms, [now_ms](uint64_t until_ms) {
            const uint64_t now = now_ms();
            if (until_ms > now)
              std::this_thread::sleep_for(std::chrono::milliseconds(until_ms - now));
          }};
}

struct Bus {
  std::mutex mutex;
  std::map<std::string, ScsiDevice*> devices;
};

UMockdevIoctlData* Resolve(UMockdevIoctlData* header, size_t offset, size_t length) {
  GError* error = nullptr;
  UMockdevIoctlData* data = umockdev_ioctl_data_resolve(header, offset, length, &error);
  if (error != nullptr) g_error_free(error);
  return data;
}

DataDirection Direction(int sg_direction) {
  switch (sg_direction) {
    case SG_DXFER_FROM_DEV: return DataDirection::IN;
    case SG_DXFER_TO_DEV: return DataDirection::OUT;
    default: return DataDirection::NONE;
  }
}

gboolean OnIoctl(UMockdevIoctlBase* /*base*/, UMockdevIoctlClient* client, gpointer user_data) {
  if (umockdev_ioctl_client_get_request(client) != SG_IO) return FALSE;
  auto* bus = static_cast<Bus*>(user_data);
  UMockdevIoctlData* argument = umockdev_ioctl_client_get_arg(client);
  UMockdevIoctlData* header_data = Resolve(argument, 0, sizeof(sg_io_hdr_t));
  if (header_data == nullptr) return FALSE;
  auto* header = reinterpret_cast<sg_io_hdr_t*>(header_data->data);
  UMockdevIoctlData* cdb = Resolve(header_data, offsetof(sg_io_hdr_t, cmdp), header->cmd_len);
  UMockdevIoctlData* data =
      header->dxfer_len > 0 ? Resolve(header_data, offsetof(sg_io_hdr_t, dxferp), header->dxfer_len)
                            : nullptr;
  if (cdb == nullptr || (header->dxfer_len > 0 && data == nullptr)) return FALSE;

  ScsiOutcome outcome = ScsiOutcome::NO_RESPONSE;
  {
    std::lock_guard lock(bus->mutex);
    auto device = bus->devices.find(umockdev_ioctl_client_get_devnode(client));
    if (device != bus->devices.end()) {
      outcome =
          device->second->Execute({{cdb->data, header->cmd_len},
                                   {data != nullptr ? data->data : nullptr, header->dxfer_len},
                                   Direction(header->dxfer_direction),
                                   header->timeout});
    }
  }
  header->status = 0;
  header->masked_status = 0;
  header->host_status = 0;
  header->driver_status = 0;
  header->resid = 0;
  header->sb_len_wr = 0;
  header->info = SG_INFO_OK;
  if (outcome == ScsiOutcome::CHECK_CONDITION) {
    header->status = SCSI_CHECK_CONDITION;
    header->masked_status = MASKED_CHECK_CONDITION;
    header->driver_status = DRIVER_SENSE;
    header->info = SG_INFO_CHECK;
    const std::span<const uint8_t> sense = pelox::sim::REFUSAL_SENSE;
    const size_t length = std::min<size_t>(sense.size(), header->mx_sb_len);
    UMockdevIoctlData* sense_area =
        length > 0 ? Resolve(header_data, offsetof(sg_io_hdr_t, sbp), length) : nullptr;
    if (sense_area != nullptr) {
      std::copy_n(sense.begin(), length, sense_area->data);
      header->sb_len_wr = static_cast<unsigned char>(length);
    }
  } else if (outcome == ScsiOutcome::NO_RESPONSE) {
    header->host_status = DID_TIME_OUT;
    header->info = SG_INFO_CHECK;
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  return TRUE;
}

bool Attach(UMockdevTestbed* testbed, UMockdevIoctlBase* handler, const char* node) {
  GError* error = nullptr;
  if (umockdev_testbed_attach_ioctl(testbed, node, handler, &error)) return true;
  std::fprintf(stderr, "umockdev_camera: cannot attach %s: %s\n", node, error->message);
  g_error_free(error);
  return false;
}

int RunProgram(std::vector<char*>& program) {
  // The program sees the mocked devices through umockdev's preload library.
  std::string preload = "libumockdev-preload.so.0";
  if (const char* existing = std::getenv("LD_PRELOAD"); existing != nullptr && *existing != 0) {
    preload += std::string(":") + existing;
  }
  const pid_t child = fork();
  if (child == 0) {
    setenv("LD_PRELOAD", preload.c_str(), 1);
    setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 0);
    execvp(program[0], program.data());
    std::perror("umockdev_camera: exec");
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) < 0) return 127;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

UMockdevTestbed* MockDevices(Bus& bus, UMockdevIoctlBase* handler) {
  UMockdevTestbed* testbed = umockdev_testbed_new();
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(testbed, DEVICES, &error)) {
    std::fprintf(stderr, "umockdev_camera: %s\n", error->message);
    g_error_free(error);
    g_object_unref(testbed);
    return nullptr;
  }
  g_signal_connect_data(handler, "handle-ioctl", reinterpret_cast<GCallback>(&OnIoctl), &bus,
                        nullptr, G_CONNECT_DEFAULT);
  for (const auto& [node, device] : bus.devices) {
    if (!Attach(testbed, handler, node.c_str())) {
      g_object_unref(testbed);
      return nullptr;
    }
  }
  return testbed;
}

// The devices answer from the recording; the verdict is the replay's.
int Replay(Options& options) {
  std::string error;
  const std::optional<pelox::sim::Recording> recording =
      pelox::sim::ReadRecording(options.replay_path, error);
  std::optional<pelox::sim::CamsimOptions> tolerance =
      pelox::sim::ParseCamsimOptions({"--tolerate", options.tolerate}, error);
  if (!recording || (!options.tolerate.empty() && !tolerance)) {
    std::fprintf(stderr, "umockdev_camera: %s\n", error.c_str());
    return 2;
  }
  pelox::sim::ScsiReplay replay(
      *recording, options.tolerate.empty() ? pelox::sim::ReplayTolerance{} : tolerance->tolerance);
  pelox::sim::ReplayNode maker_disk(replay, "sg0");
  pelox::sim::ReplayNode camera(replay, "sg1");
  pelox::sim::ReplayNode reader(replay, "sdd");
  Bus bus;
  bus.devices = {{"/dev/sg0", &maker_disk}, {"/dev/sg1", &camera}, {"/dev/sdd", &reader}};
  UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
  UMockdevTestbed* testbed = MockDevices(bus, handler);
  if (testbed == nullptr) return 2;
  int result = RunProgram(options.program);
  std::lock_guard lock(bus.mutex);
  if (!replay.Divergence().empty()) {
    std::printf("replay diverged: %s\n", replay.Divergence().c_str());
    result = 1;
  } else if (!replay.Complete()) {
    std::printf("replay ended short: %s\n", replay.Shortfall().c_str());
    result = 1;
  } else {
    std::printf("replay matched: %zu SCSI commands\n", replay.Played());
  }
  g_object_unref(handler);
  g_object_unref(testbed);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: umockdev_camera [--vendor TEXT] [--flash-ms N] "
                 "[--expect-firmware BYTES] [--fault RULE]\n"
                 "                       [--pictures DIR | --generate-pictures N] -- program args...\n"
                 "       umockdev_camera --replay FILE [--tolerate LIST] -- program args...\n");
    return 2;
  }
  if (!options.replay_path.empty()) return Replay(options);
  pelox::sim::CameraConfig config;
  config.flash_busy_ms = options.flash_ms;
  pelox::sim::VirtualCamera camera(config);
  pelox::sim::CommandVocabulary vocabulary(camera.Model());
  std::string pictures_error;
  std::optional<std::vector<pelox::sim::SimObject>> pictures = pelox::sim::ChosenPictures(
      options.pictures_dir, options.generated_pictures, pictures_error);
  if (!pictures) {
    std::fprintf(stderr, "umockdev_camera: %s\n", pictures_error.c_str());
    return 2;
  }
  pelox::sim::AddPictures(vocabulary, std::move(*pictures));
  if (!options.fault.empty()) {
    std::string error;
    const std::optional<pelox::sim::FaultRule> rule =
        pelox::sim::ParseFaultRule(options.fault, error);
    if (!rule) {
      std::fprintf(stderr, "umockdev_camera: %s\n", error.c_str());
      return 2;
    }
    camera.Faults().Add(*rule);
  }
  pelox::sim::StorageFace face(camera.Endpoint(), camera.Log(), options.vendor, RealClock());
  pelox::sim::CardReader maker_disk("OLYMPUS");
  pelox::sim::CardReader fixed_disk("OLYMPUS");
  pelox::sim::CardReader reader("Generic");
  Bus bus;
  bus.devices = {{"/dev/sg0", &maker_disk},
                 {"/dev/sg1", &face},
                 {"/dev/sg2", &fixed_disk},
                 {"/dev/sdd", &reader}};
  UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
  UMockdevTestbed* testbed = MockDevices(bus, handler);
  if (testbed == nullptr) return 2;

  int result = RunProgram(options.program);

  std::lock_guard lock(bus.mutex);
  const pelox::sim::FirmwareStatement& statement = camera.Model().Firmware().Statement();
  std::fprintf(stderr, "umockdev_camera: %zu SCSI commands, %d protocol errors; %s\n",
               face.Cdbs().size(), face.ProtocolErrors(),
               pelox::sim::DescribeStatement(statement).c_str());
  if (fixed_disk.CommandCount() > 0) {  // a disk inside the computer is never a candidate
    std::fprintf(stderr, "umockdev_camera: the fixed disk was asked\n");
    result = result != 0 ? result : 1;
  }
  if (face.ProtocolErrors() > 0) {
    std::fprintf(stderr, "%s", camera.Log().Describe().c_str());
    result = result != 0 ? result : 1;
  }
  if (options.expect_firmware &&
      (!statement.transfer_complete || statement.bytes_received != *options.expect_firmware)) {
    result = result != 0 ? result : 1;
  }
  g_object_unref(handler);
  g_object_unref(testbed);
  return result;
}
