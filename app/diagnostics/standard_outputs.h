#pragma once
// Standard output and error, each written by a queue of its own: while the
// camera works, a terminal, pipe or reader that stalls costs lines, never
// the camera time; otherwise a line waits for room, so that the result is
// never lost.
#include <string>
#include <string_view>

namespace pelox {

// From here on, lines go through the queues; before, straight out.
void StartStandardOutputs();
// `text` as given, newline included.
void PrintOut(std::string_view text);
void PrintErr(std::string_view text);
// Whether the camera works: a line that finds no room is then lost.
void SetCameraWorking(bool working);
// What each lost so far, as clauses joined by "; "; empty when nothing was.
std::string StandardOutputsLoss();
// Writes what is left, until it is written or a signal comes, and returns
// what each lost; later lines go straight out.
std::string FinishStandardOutputs();

}  // namespace pelox
