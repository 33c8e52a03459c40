#pragma once
// What the serial backend records about each COM port for SerialOpenError
// and SerialHeardBytes to tell; only the backend writes it, so it stays out
// of the installed headers.
#include <cstdint>

namespace pelox {

void SerialNoteOpenError(int32_t port, int error);
void SerialNoteHeard(int32_t port, uint64_t count);

}  // namespace pelox
