#pragma once
// The support trace (-vv, --log FILE): the steps, the messages, each frame
// decoded, every byte on the serial line and every SCSI command of the
// storage pipe, with its time since the start, as lines a support engineer
// can read. Any thread may add to it. A log that cannot be written (a full
// disk, the file-size limit) stops; the run goes on.
#include <cstdio>
#include <string>
#include <string_view>

namespace pelox {

// Starts tracing to standard error when `to_stderr` and to `log`, named
// `log_name`, when it is not null; the trace owns and closes it.
void StartRunTrace(bool to_stderr, FILE* log, const std::string& log_name);
void StopRunTrace();
// A line of its own, such as a step or a message; nothing when not tracing.
void TraceRunLine(std::string_view text);
// Why the log stopped early; empty while it is written.
std::string RunTraceLoss();
// RunTraceLoss the first time it is not empty, then empty: said once.
std::string TakeRunTraceLoss();

}  // namespace pelox
