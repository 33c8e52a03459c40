#include "app/update_phase.h"

namespace pelox {

std::string_view UpdatePhaseText(UpdatePhase phase) {
  switch (phase) {
    case UpdatePhase::SEARCHING: return "searching";
    case UpdatePhase::CHECKING_IMAGE: return "checking-image";
    case UpdatePhase::CHECKING_CAMERA: return "checking-camera";
    case UpdatePhase::READY: return "ready";
    case UpdatePhase::TRANSFERRING: return "transferring";
    case UpdatePhase::WRITING: return "writing";
    case UpdatePhase::ENDED: return "ended";
  }
  return "ended";
}

}  // namespace pelox
