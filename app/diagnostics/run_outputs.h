#pragma once
// The run's outputs (--log, --record) opened so that they never endanger
// its inputs: one that is the firmware image, the camera's port or device,
// or the other output (by any path, symlink or hard link) is refused before
// a byte is written, and a FIFO nobody reads is refused at once.
#include <cstdio>
#include <string>

#include "app/session/options.h"

namespace pelox {

enum class OutputsOpening { OPENED, REFUSED, INTERRUPTED };

struct RunOutputs {
  OutputsOpening opening = OutputsOpening::OPENED;
  std::string refusal;  // REFUSED: why, naming the output and what it is
  FILE* log = nullptr;  // OPENED: null for an output not asked for
  FILE* record = nullptr;
};

// Opens `options.log_file` and `options.record_file`, empty when not asked
// for, against the image at `image_path`. Nothing is truncated unless both
// may be written; a refused output that this call created is removed.
RunOutputs OpenRunOutputs(const UploaderOptions& options, const std::string& image_path);

}  // namespace pelox
