#include <windows.h>
// After windows.h:
#include <ntddscsi.h>

#include <cstddef>
#include <cstring>

#include "platform/spti.h"

namespace pelox {

// The portable request mirrors the system's own layout.
static_assert(sizeof(void*) == 4, "the pass-through request has a 4-byte buffer slot");
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == SPTD_SIZE);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn) == SPTD_DATA_IN_OFFSET);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) ==
              SPTD_DATA_TRANSFER_LENGTH_OFFSET);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == SPTD_TIME_OUT_VALUE_OFFSET);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == SPTD_DATA_BUFFER_OFFSET);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == SPTD_SENSE_INFO_OFFSET_OFFSET);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == SPTD_CDB_OFFSET);
static_assert(PASS_THROUGH_DIRECT_CONTROL == IOCTL_SCSI_PASS_THROUGH_DIRECT);
static_assert(DRIVE_TYPE_REMOVABLE == DRIVE_REMOVABLE);
static_assert(ERROR_MODE_FAIL_CRITICAL == SEM_FAILCRITICALERRORS);

namespace {

HANDLE Native(DriveHandle drive) { return reinterpret_cast<HANDLE>(drive); }

}  // namespace

uint32_t DriveLogicalStrings(std::span<char> buffer) {
  return GetLogicalDriveStringsA(static_cast<DWORD>(buffer.size()), buffer.data());
}

uint32_t DriveType(const char* root) { return GetDriveTypeA(root); }

uint32_t DriveSetErrorMode(uint32_t mode) { return SetErrorMode(mode); }

DriveHandle DriveOpen(const char* device_name) {
  HANDLE handle =
      CreateFileA(device_name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  return handle == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<DriveHandle>(handle);
}

bool DriveClose(DriveHandle drive) { return CloseHandle(Native(drive)) != 0; }

int32_t DrivePassThrough(DriveHandle drive, std::span<uint8_t> request, std::span<uint8_t> data) {
  if (request.size() < SPTD_SIZE) return 0;
  const auto buffer = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(data.data()));
  std::memcpy(request.data() + SPTD_DATA_BUFFER_OFFSET, &buffer, sizeof buffer);
  DWORD returned = 0;
  const auto size = static_cast<DWORD>(request.size());
  return DeviceIoControl(Native(drive), PASS_THROUGH_DIRECT_CONTROL, request.data(), size,
                         request.data(), size, &returned, nullptr);
}

}  // namespace pelox
