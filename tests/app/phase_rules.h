#pragma once
// What the phases the step machine tells a view must look like, for every
// view the tests drive.
#include <string>
#include <vector>

#include "app/update_phase.h"

namespace pelox::test {

// The one phase sequence each cause of the step machine ends with, from the
// search on (a close ends the chain at READY).
std::vector<UpdatePhase> PhasesOf(RunCause cause);

// How the phases told break the rules, empty when they keep them: they are
// the ending cause's one sequence, the cause comes only with ENDED, and the
// write command is said to have left from WRITING on.
std::string PhaseFault(const std::vector<UpdateState>& phases);

}  // namespace pelox::test
