// SG_IO on Linux. Devices are found through sysfs with directory reads, which
// is also what a mocked device tree (umockdev) intercepts.
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>
#include <utility>

#include "platform/port_tap.h"
#include "platform/sg.h"

namespace pelox {

struct DriveDevice {
  int fd;
  std::string path;
};

namespace {

namespace fs = std::filesystem;

constexpr const char* GENERIC_CLASS = "/sys/class/scsi_generic";
constexpr const char* BLOCK_CLASS = "/sys/class/block";

// Entry names of a sysfs directory; none when it cannot be read.
std::vector<std::string> Entries(const fs::path& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  return names;
}

// sg2 before sg10, sdz before sdaa: shorter names first, then by name.
void SortNaturally(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
}

bool IsWholeScsiDisk(const std::string& name) {
  return name.size() > 2 && name.compare(0, 2, "sd") == 0 &&
         std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// The SCSI device directory a class entry belongs to, as in
// .../6:0:0:0/scsi_generic/sg0 or .../6:0:0:0/block/sdb; empty when the
// entry does not resolve.
fs::path ScsiDeviceOf(const char* class_directory, const std::string& name) {
  std::error_code error;
  const fs::path entry = fs::canonical(fs::path(class_directory) / name, error);
  return error ? fs::path() : entry.parent_path().parent_path();
}

// A camera shows itself as a removable disk on a USB bus; a fixed disk, or
// a removable one inside the computer, is not asked.
bool IsUsbRemovableDisk(const fs::path& scsi_device, const std::string& disk) {
  std::ifstream flag(scsi_device / "block" / disk / "removable");
  char value = '0';
  if (!flag.get(value) || value != '1') return false;
  std::error_code error;
  for (fs::path dir = scsi_device; dir.has_relative_path(); dir = dir.parent_path()) {
    if (fs::read_symlink(dir / "subsystem", error).filename() == "usb") return true;
  }
  return false;
}

bool IsCameraCandidateNode(const std::string& node) {
  if (node.compare(0, 2, "sg") != 0) return false;
  const fs::path scsi_device = ScsiDeviceOf(GENERIC_CLASS, node);
  if (scsi_device.empty()) return false;
  const std::vector<std::string> disks = Entries(scsi_device / "block");
  return std::any_of(disks.begin(), disks.end(), [&](const std::string& disk) {
    return IsWholeScsiDisk(disk) && IsUsbRemovableDisk(scsi_device, disk);
  });
}

// A disk whose SCSI device also has a generic node is offered through that node.
bool IsCameraCandidateDisk(const std::string& disk) {
  if (!IsWholeScsiDisk(disk)) return false;
  const fs::path scsi_device = ScsiDeviceOf(BLOCK_CLASS, disk);
  std::error_code error;
  return !scsi_device.empty() && IsUsbRemovableDisk(scsi_device, disk) &&
         !fs::is_directory(scsi_device / "scsi_generic", error);
}

std::string& OnlyDevice() {
  static std::string path;
  return path;
}

int32_t Outcome(bool called, const sg_io_hdr_t& header) {
  if (!called) return SG_TRANSFER_FAILED;
  if (header.host_status != 0) return SG_TRANSFER_FAILED;  // timed out, reset, gone
  if (header.status != 0 || header.driver_status != 0) return SG_CHECK_STATUS;
  return SG_DONE;
}

}  // namespace

void SgUseOnlyDevice(std::string path) { OnlyDevice() = std::move(path); }

std::vector<std::string> SgCandidateDevices() {
  if (!OnlyDevice().empty()) return {OnlyDevice()};
  std::vector<std::string> generic = Entries(GENERIC_CLASS);
  std::erase_if(generic, [](const std::string& name) { return !IsCameraCandidateNode(name); });
  SortNaturally(generic);
  std::vector<std::string> disks = Entries(BLOCK_CLASS);
  std::erase_if(disks, [](const std::string& name) { return !IsCameraCandidateDisk(name); });
  SortNaturally(disks);

  std::vector<std::string> paths;
  for (const std::string& name : generic) paths.push_back("/dev/" + name);
  for (const std::string& name : disks) paths.push_back("/dev/" + name);
  return paths;
}

DriveHandle SgOpen(const std::string& path, int32_t& outcome) {
  const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    outcome = errno == EACCES || errno == EPERM ? SG_OPEN_DENIED : SG_OPEN_FAILED;
    return nullptr;
  }
  auto* device = new (std::nothrow) DriveDevice{fd, path};
  if (device == nullptr) {
    close(fd);
    outcome = SG_OPEN_FAILED;
    return nullptr;
  }
  outcome = SG_OPEN_OK;
  return device;
}

int32_t SgExecute(DriveHandle device, std::span<const uint8_t> cdb, std::span<uint8_t> data,
                  SgDirection direction, uint32_t timeout_ms, SgAnswer& answer) {
  answer = {};
  if (device == nullptr || cdb.empty() || cdb.size() > UINT8_MAX) return SG_TRANSFER_FAILED;
  sg_io_hdr_t header{};
  header.interface_id = 'S';
  switch (direction) {
    case SgDirection::FROM_DEVICE: header.dxfer_direction = SG_DXFER_FROM_DEV; break;
    case SgDirection::TO_DEVICE: header.dxfer_direction = SG_DXFER_TO_DEV; break;
    case SgDirection::NONE: header.dxfer_direction = SG_DXFER_NONE; break;
  }
  header.cmd_len = static_cast<unsigned char>(cdb.size());
  // The kernel only reads the CDB.
  header.cmdp = const_cast<unsigned char*>(cdb.data());
  header.dxfer_len = static_cast<unsigned int>(data.size());
  header.dxferp = data.empty() ? nullptr : data.data();
  header.mx_sb_len = static_cast<unsigned char>(answer.sense.size());
  header.sbp = answer.sense.data();
  header.timeout = timeout_ms;
  const int32_t result = Outcome(ioctl(device->fd, SG_IO, &header) == 0, header);
  if (result == SG_CHECK_STATUS) {
    answer.scsi_status = header.status;
    answer.sense_length = std::min(header.sb_len_wr, header.mx_sb_len);
  }
  TapScsiCommand({device->path, cdb,
                  direction == SgDirection::FROM_DEVICE ? TraceDirection::FROM_DEVICE
                                                        : TraceDirection::TO_DEVICE,
                  direction != SgDirection::NONE, data, result, answer.scsi_status,
                  std::span(answer.sense).first(answer.sense_length)});
  return result;
}

bool SgClose(DriveHandle device) {
  if (device == nullptr) return false;
  const bool closed = close(device->fd) == 0;
  delete device;
  return closed;
}

}  // namespace pelox
