#pragma once
// Drives and the SCSI pass-through request. The request is laid out for the
// 32-bit system that consumes it, with a 4-byte data buffer slot that the
// backend fills from the data it is given.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/devices.h"

namespace pelox {

inline constexpr uint32_t DRIVE_TYPE_REMOVABLE = 2;
inline constexpr uint32_t ERROR_MODE_FAIL_CRITICAL = 1;
inline constexpr uint32_t PASS_THROUGH_DIRECT_CONTROL = 0x4D014;

// SCSI_PASS_THROUGH_DIRECT: its size and where its fields sit.
inline constexpr size_t SPTD_SIZE = 44;
inline constexpr size_t SPTD_DATA_IN_OFFSET = 8;
inline constexpr size_t SPTD_DATA_TRANSFER_LENGTH_OFFSET = 12;
inline constexpr size_t SPTD_TIME_OUT_VALUE_OFFSET = 16;
inline constexpr size_t SPTD_DATA_BUFFER_OFFSET = 20;
inline constexpr size_t SPTD_SENSE_INFO_OFFSET_OFFSET = 24;
inline constexpr size_t SPTD_CDB_OFFSET = 28;

// GetLogicalDriveStringsA: the drive roots, each followed by a zero, ended by
// an empty text. Returns the length written without the last zero, or the
// size needed when `buffer` is too small (nothing is written then).
uint32_t DriveLogicalStrings(std::span<char> buffer);
// GetDriveTypeA of a root such as "E:\".
uint32_t DriveType(const char* root);
uint32_t DriveSetErrorMode(uint32_t mode);
// Opens a drive device such as "\\.\E:" for reading and writing, shared;
// null when it cannot be opened.
DriveHandle DriveOpen(const char* device_name);
bool DriveClose(DriveHandle drive);
// DeviceIoControl with PASS_THROUGH_DIRECT_CONTROL, `request` as input
// and output; `data` goes into its buffer slot first. Nonzero on success.
int32_t DrivePassThrough(DriveHandle drive, std::span<uint8_t> request, std::span<uint8_t> data);

}  // namespace pelox
