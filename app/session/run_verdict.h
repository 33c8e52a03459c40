#pragma once
// How a run of the uploader ended, for scripts and people: the exit status,
// a one-word cause and one line that says why and what to do, naming the
// device or file concerned. The dialog's own message stays the first line;
// this adds to it.
//
// A write counts as done (exit 0) only on evidence the camera's state before
// the write command cannot give: the camera's own word on that command (its
// ACK, then its end byte for the write, then "ready", on a link not lost in
// between), or, after a reconnection, the image's version where the camera
// had another one before. A camera that already had the image's version
// (--allow-reinstall) proves nothing by its version, so without its own word
// the write stays uncertain (7). A camera that refused every copy of the
// write command with NAK did not take it: nothing was written (1).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/dialog_facts.h"
#include "app/run_cause.h"

namespace pelox {

// A serial port the user named, as its last open left it.
struct NamedPort {
  std::string path;
  int open_error = 0;        // errno of the last open, 0 when it opened
  std::string group;         // the group that owns the device, when known
  uint64_t heard_bytes = 0;  // what the device sent, none of it a camera's answer
  std::string holder;        // the program that holds it when it is in use, when known
};

// What the search for the camera ran into.
struct SearchNotes {
  std::vector<NamedPort> ports;
  std::string device;  // the storage device named, empty when searched for
  int32_t denied_devices = 0;
  std::string first_denied;
};

struct RunEnd {
  RunCause cause = RunCause::NONE;  // the step machine's, NONE when its chain did not end
  bool ready = false;               // the checks passed and Upload was offered
  bool interrupted = false;         // a signal ended the run
  bool check_only = false;          // --check: stop before the upload
  uint64_t bytes_sent = 0;          // of the image, as far as the transfer got
  std::string image;                // the image's path as the user knows it
  std::string image_kind;  // what the image's path names when no regular file: "a directory", ...
};

// The exit status of each cause: 0 written (or a dry run, listing or
// inspection that found nothing wrong), 1 failed safely (the transfer, or
// the write command refused), 2 usage, 3 no camera, 4 image refused,
// 5 camera refused, 6 up to date, 7 uncertain, 8 closed before any update,
// 130 interrupted.
int CauseExitStatus(RunCause cause);

// What the user can do about a verdict. Each front end renders it its own
// way: the command line as the option to give, the window as a button.
enum class Remedy : uint8_t {
  INSTALL_ANYWAY,  // write the same, or a version not newer, again
  INSTALL_OLDER,   // write an older version
  NAME_PORT,       // no serial port was named: name the camera's
  CHECK_VERSION,   // the write is uncertain: read the camera's version again
  CHECK_AGAIN,     // no camera, or a port that could not be opened: look again
  CHOOSE_IMAGE,    // the image was refused: choose another
};

struct Verdict {
  Verdict(RunCause run_cause, std::string why = {}, std::vector<Remedy> remedies = {})
      : cause(run_cause),
        exit_status(CauseExitStatus(run_cause)),
        detail(std::move(why)),
        advice(std::move(remedies)) {}

  RunCause cause;      // RunCauseText is the one word for scripts
  int exit_status;     // the cause's
  std::string detail;  // why, without the remedy; empty when the message says it all
  std::vector<Remedy> advice;
};

Verdict JudgeRun(const DialogFacts& facts, const RunEnd& end, const SearchNotes& search);

// The detail as the command line says it: the remedies it has an option
// for follow the reason.
std::string DetailWithOptions(const Verdict& verdict);

// Lines to warn of before the update: a battery level that is unknown or 0,
// and an image taken only by --allow-reinstall or --allow-older.
std::vector<std::string> ReadyWarnings(const DialogFacts& facts);

// The line about devices the search could not open for want of permission;
// empty when there were none.
std::string DeniedDevicesAdvice(const SearchNotes& search);

}  // namespace pelox
