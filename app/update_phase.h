#pragma once
// Where the step machine is in an update, as it tells every view: the front
// ends take their rules (whether a signal may end the program, whether the
// machine may sleep, the exit status) from this, never from the messages.
#include <cstdint>
#include <string_view>

#include "app/run_cause.h"

namespace pelox {

enum class UpdatePhase : uint8_t {
  SEARCHING,        // connecting to a camera
  CHECKING_IMAGE,   // opening and checking the image
  CHECKING_CAMERA,  // reading the camera's maker, version and battery
  READY,            // the checks passed: Upload is offered
  TRANSFERRING,     // the image goes to the camera; a cancel still holds
  WRITING,          // the write command may have left: only the camera's word ends it
  ENDED,            // the chain is over, with a cause
};

struct UpdateState {
  UpdatePhase phase = UpdatePhase::SEARCHING;
  RunCause cause = RunCause::NONE;  // set with ENDED, NONE before
  // The write command may have reached the camera: from WRITING on, and
  // kept once the chain ended, whatever its cause.
  bool write_may_have_left = false;

  friend bool operator==(const UpdateState&, const UpdateState&) = default;
};

// "searching", "checking-image", ...: for traces and tests.
std::string_view UpdatePhaseText(UpdatePhase phase);

}  // namespace pelox
