#pragma once
// What the step machine found out on its way, for front ends that explain a
// result beyond the dialog's message: which step ended the chain and why,
// the versions and the battery level it read, and the link's error behind a failed write.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/firmware_image.h"

namespace pelox {

inline constexpr int32_t BATTERY_UNKNOWN = -1;

struct DialogFacts {
  int32_t failed_step = 0;     // the step whose failure ended the chain; 0 for none
  int32_t step_error = 0;      // its step error code
  int32_t link_error = 0;      // the link's error code behind it, 0 for none
  int32_t port_type = -1;      // the port the camera was found on
  int32_t speed_index = 0;     // the serial speed connected at; 0 before
  int32_t device_index = -1;   // the storage device connected to, in the device table
  bool speed_refused = false;  // the speed asked for was refused: the usual one is used

  HeaderFault header_fault = HeaderFault::NONE;
  int64_t header_declared = 0;  // what the header says (length or sum)
  int64_t header_actual = 0;    // what the image holds
  std::string image_version;
  uint64_t image_size = 0;
  uint32_t image_open_error = 0;  // the system's error when the image did not open

  std::string maker;
  std::string camera_version;
  int32_t battery = BATTERY_UNKNOWN;
  uint32_t battery_threshold = 0;
  // The image is not newer than the camera's firmware and passed only by the
  // front end's allowance.
  bool version_allowed_by_user = false;

  // The write command may have reached the camera: unless the checked camera
  // then said "ready" itself, its firmware is unknown.
  bool write_command_sent = false;
  // What kept the write from being confirmed, or the camera's check from
  // standing, beyond the link's error (the camera's own error, another
  // camera come back, a stall); empty if nothing.
  std::string write_detail;
  // The first sense bytes of the storage device's refusal behind a failed
  // step; empty when there was none.
  std::vector<uint8_t> sense;
};

// What the image check found, in the facts.
inline void NoteImageCheck(const HeaderVerdict& verdict, std::string version, uint64_t size,
                           DialogFacts& facts) {
  facts.header_fault = verdict.fault;
  facts.header_declared = verdict.declared;
  facts.header_actual = verdict.actual;
  facts.image_version = std::move(version);
  facts.image_size = size;
}

}  // namespace pelox
