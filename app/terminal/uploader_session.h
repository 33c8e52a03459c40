#pragma once
// One run of the uploader in a terminal: the dialog's loop, drawn or plain.

namespace pelox {

struct SessionMode {
  bool drawn = false;  // draw the dialog and read keys; else plain lines
  bool yes = false;    // press Upload when enabled, Close when the chain ends
};

struct SessionOutcome {
  bool complete = false;        // "Writing Firmware is complete." was reached
  bool camera_missing = false;  // the chain ended for want of a camera
};

// Runs the dialog until it is closed.
SessionOutcome RunUploaderSession(SessionMode mode);

}  // namespace pelox
