#pragma once
// One run of the uploader in a terminal: the dialog's loop, drawn or as
// lines, with the signals, the end of input and the options acted on.
#include <cstdint>
#include <string>
#include <vector>

#include "app/diagnostics/run_report.h"
#include "app/dialog_facts.h"
#include "app/session/options.h"
#include "app/session/run_verdict.h"

namespace pelox {

struct SessionMode {
  bool drawn = false;  // draw the dialog and read keys; else lines
  // The image, speed, versions allowed, devices, --yes, --check and -v.
  UploaderOptions options;
};

struct SessionOutcome {
  DialogFacts facts;
  Verdict verdict{RunCause::CLOSED};  // the session's, as the run ended
  std::vector<std::string> warnings;  // what was said before the update
  std::string last_message;
  bool drawn = false;  // the dialog was drawn: nothing of the run is left on the screen
  uint64_t elapsed_ms = 0;
};

// Runs the dialog until it is closed; `report` gets every event.
SessionOutcome RunUploaderSession(const SessionMode& mode, RunReport& report);

}  // namespace pelox
