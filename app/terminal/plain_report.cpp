#include "app/terminal/plain_report.h"

#include <string_view>

namespace pelox {

std::vector<std::string> PlainReport::Lines(const std::vector<ViewEvent>& events) {
  std::vector<std::string> lines;
  for (const ViewEvent& event : events) {
    if (event.is_message) {
      std::string_view text = event.message;
      for (size_t feed = text.find('\n'); feed != std::string_view::npos; feed = text.find('\n')) {
        lines.emplace_back(text.substr(0, feed));
        text.remove_prefix(feed + 1);
      }
      lines.emplace_back(text);
      last_reported_ = 0;
      first_position_ = true;
      counting_ = false;
      continue;
    }
    if (first_position_) counting_ = event.progress == 0;
    first_position_ = false;
    if (event.progress < last_reported_) counting_ = false;
    const int32_t step = event.progress / PROGRESS_STEP * PROGRESS_STEP;
    if (counting_ && step > last_reported_) {
      last_reported_ = step;
      lines.push_back("Progress: " + std::to_string(step) + "%");
    }
  }
  return lines;
}

}  // namespace pelox
