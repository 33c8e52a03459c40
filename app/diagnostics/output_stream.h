#pragma once
// The stream of an output (--log, --record) over its opened descriptor.
// Its writes wait for a slow reader (a pipe, a FIFO) but give way to a
// signal the run acts on, so that an output whose reader stopped reading
// never holds up the end of the run.
#include <cstdio>

namespace pelox {

// A stream writing to `fd`, which it owns and closes; null, with `fd`
// closed, when none can be made.
FILE* OutputStream(int fd);

}  // namespace pelox
