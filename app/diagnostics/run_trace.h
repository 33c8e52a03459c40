#pragma once
// The support trace (-vv, --log FILE): the steps, the messages, each frame
// decoded, every byte on the serial line and every SCSI command of the
// storage pipe, with its time since the start, as lines a support engineer
// can read. Any thread may add to it, and none waits for it: what a full
// disk or a reader that stopped reading cannot take is counted as lost, and
// the log ends with a line saying how much.
#include <memory>
#include <string>
#include <string_view>

#include "app/diagnostics/output_queue.h"

namespace pelox {

// Starts tracing to standard error when `to_stderr` and to `log`, named
// `log_name`, when it is not null.
void StartRunTrace(bool to_stderr, std::unique_ptr<OutputQueue> log, const std::string& log_name);
// Stops tracing and writes the rest of the log for a short while at most.
void StopRunTrace();
// A line of its own, such as a step or a message; nothing when not tracing.
void TraceRunLine(std::string_view text);
// What the log lost; empty while it lost nothing.
std::string RunTraceLoss();
// That the log loses lines, for the user while the run goes on; empty
// while it lost nothing.
std::string RunTraceNote();
// RunTraceNote the first time it is not empty, then empty: said once.
std::string TakeRunTraceNote();

}  // namespace pelox
