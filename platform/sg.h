#pragma once
// SCSI commands through the Linux SG_IO interface.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/devices.h"

namespace pelox {

enum class SgDirection { NONE, FROM_DEVICE, TO_DEVICE };

// Outcomes of opening a device.
inline constexpr int32_t SG_OPEN_OK = 0;
inline constexpr int32_t SG_OPEN_DENIED = 1;
inline constexpr int32_t SG_OPEN_FAILED = 2;

// Outcomes of a command.
inline constexpr int32_t SG_DONE = 1;
inline constexpr int32_t SG_TRANSFER_FAILED = 2;  // the call failed or timed out
inline constexpr int32_t SG_CHECK_STATUS = 4;     // the device answered with an error status

// Device nodes that may be a camera, in a stable order: the SCSI generic
// devices of removable disks on a USB bus, then such disks that have no
// generic device of their own (a device is offered once).
std::vector<std::string> SgCandidateDevices();
// Offers only `path` as a candidate from now on (a device the user named);
// an empty path goes back to searching.
void SgUseOnlyDevice(std::string path);
// Opens the node for reading and writing; null with the reason in `outcome`.
DriveHandle SgOpen(const std::string& path, int32_t& outcome);
// What the device answered besides the data: its status byte and, with a
// refusal, the sense bytes it returned (`sense_length` of them).
inline constexpr size_t SG_SENSE_SIZE = 32;
struct SgAnswer {
  uint8_t scsi_status = 0;
  uint8_t sense_length = 0;
  std::array<uint8_t, SG_SENSE_SIZE> sense{};
};
int32_t SgExecute(DriveHandle device, std::span<const uint8_t> cdb, std::span<uint8_t> data,
                  SgDirection direction, uint32_t timeout_ms, SgAnswer& answer);
bool SgClose(DriveHandle device);

}  // namespace pelox
