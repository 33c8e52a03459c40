#pragma once
// One run of the uploader in a terminal: the dialog's loop, drawn or as
// lines, with the signals, the end of input and the options acted on.
#include <cstdint>
#include <functional>
#include <string>

#include "app/camera_checks.h"
#include "app/diagnostics/run_report.h"
#include "app/dialog_facts.h"
#include "app/session/run_verdict.h"

namespace pelox {

struct SessionMode {
  bool drawn = false;          // draw the dialog and read keys; else lines
  bool yes = false;            // press Upload when enabled, Close when the chain ends
  bool check_only = false;     // close as soon as Upload is offered
  std::string image;           // empty: Firmware.bin in the current directory
  int32_t speed_index = 0;     // 0: the usual serial speed
  VersionAllowance allowance;  // images besides newer ones that may be written
  int verbosity = 0;           // -v: also say the speed in use
  // The verdict of a run so far, shown in the drawn dialog once the chain ends.
  std::function<Verdict(const DialogFacts&, const RunEnd&)> judge;
};

struct SessionOutcome {
  DialogFacts facts;
  RunEnd end;
  std::string last_message;
  bool drawn = false;  // the dialog was drawn: nothing of the run is left on the screen
  uint64_t elapsed_ms = 0;
};

// Runs the dialog until it is closed; `report` gets every event.
SessionOutcome RunUploaderSession(const SessionMode& mode, RunReport& report);

}  // namespace pelox
