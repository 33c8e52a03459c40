#pragma once
// The plain output: each new message, line by line, and the transfer's
// progress in steps of ten percent, for logs and scripts. Progress counts
// only when the bar was emptied after the message and then only rises: the
// busy animation of the camera's write is not progress.
#include <cstdint>
#include <string>
#include <vector>

#include "app/terminal/terminal_view.h"

namespace pelox {

class PlainReport {
 public:
  // The lines to print for what the view reported.
  std::vector<std::string> Lines(const std::vector<ViewEvent>& events);

 private:
  static constexpr int32_t PROGRESS_STEP = 10;
  int32_t last_reported_ = 0;
  bool first_position_ = true;
  bool counting_ = false;
};

}  // namespace pelox
