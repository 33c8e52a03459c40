#include "tests/app/phase_rules.h"

namespace pelox::test {

std::vector<UpdatePhase> PhasesOf(RunCause cause) {
  using enum UpdatePhase;
  switch (cause) {
    case RunCause::NO_CAMERA: return {SEARCHING, ENDED};
    case RunCause::IMAGE_REFUSED: return {SEARCHING, CHECKING_IMAGE, ENDED};
    case RunCause::CLOSED: return {SEARCHING, CHECKING_IMAGE, CHECKING_CAMERA, READY, ENDED};
    case RunCause::WRITE_FAILED:
    case RunCause::INTERRUPTED:
      return {SEARCHING, CHECKING_IMAGE, CHECKING_CAMERA, READY, TRANSFERRING, ENDED};
    case RunCause::WRITTEN:
    case RunCause::WRITE_UNCERTAIN:
    case RunCause::WRITE_REFUSED:
      return {SEARCHING, CHECKING_IMAGE, CHECKING_CAMERA, READY, TRANSFERRING, WRITING, ENDED};
    default: return {SEARCHING, CHECKING_IMAGE, CHECKING_CAMERA, ENDED};
  }
}

std::string PhaseFault(const std::vector<UpdateState>& phases) {
  if (phases.empty()) return "no phase told";
  std::vector<UpdatePhase> told;
  std::string text;
  bool writing_seen = false;
  std::string fault;
  for (const UpdateState& state : phases) {
    told.push_back(state.phase);
    text += std::string(UpdatePhaseText(state.phase)) + " ";
    writing_seen = writing_seen || state.phase == UpdatePhase::WRITING;
    if (state.write_may_have_left != writing_seen)
      fault = "the write command's leaving misstated; ";
    if ((state.cause != RunCause::NONE) != (state.phase == UpdatePhase::ENDED)) {
      fault += "a cause without the end or an end without one; ";
    }
  }
  const RunCause cause = phases.back().cause;
  if (told != PhasesOf(cause)) fault += "not the one sequence of its cause; ";
  return fault.empty() ? fault : fault + text + std::string(RunCauseText(cause));
}

}  // namespace pelox::test
