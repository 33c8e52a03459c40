#include "app/terminal/dialog_picture.h"

#include <algorithm>
#include <array>

#include "app/dialog_ids.h"

namespace pelox {
namespace {

constexpr size_t MESSAGE_WIDTH = 44;
constexpr size_t MESSAGE_LINES = 3;
constexpr size_t BAR_WIDTH = MESSAGE_WIDTH + 2;
constexpr size_t BUTTON_WIDTH = 12;
// "| " + frame + "  " + button + " |"
constexpr size_t INNER_WIDTH = 1 + (MESSAGE_WIDTH + 4) + 2 + BUTTON_WIDTH + 1;
constexpr std::array<char, 4> BUSY_FRAMES = {'|', '/', '-', '\\'};

std::string Padded(std::string_view text, size_t width) {
  std::string line(text.substr(0, width));
  line.resize(width, ' ');
  return line;
}

std::string Button(std::string_view label, int32_t control, const DialogPicture& picture) {
  const bool enabled = control == CONTROL_UPLOAD ? picture.upload_enabled : picture.close_enabled;
  std::string text = enabled ? "[ " + std::string(label) + " ]" : "( " + std::string(label) + " )";
  if (picture.focus == control) text = ">" + text + "<";
  const size_t left = (BUTTON_WIDTH - std::min(text.size(), BUTTON_WIDTH)) / 2;
  return Padded(std::string(left, ' ') + text, BUTTON_WIDTH);
}

std::string Row(std::string_view content) { return "|" + Padded(content, INNER_WIDTH) + "|"; }

std::string ProgressRow(const DialogPicture& picture) {
  const int32_t percent = std::clamp(picture.progress, 0, 100);
  const auto filled = static_cast<size_t>(percent) * BAR_WIDTH / 100;
  std::string bar = "[" + std::string(filled, '#') + std::string(BAR_WIDTH - filled, '.') + "]";
  std::string percent_text = std::to_string(percent) + "%";
  percent_text.insert(0, 4 - std::min<size_t>(percent_text.size(), 4), ' ');
  std::string busy =
      picture.busy ? std::string(1, BUSY_FRAMES[picture.busy_frame % BUSY_FRAMES.size()]) + " busy"
                   : "";
  return Row(" " + bar + " " + percent_text + "  " + busy);
}

}  // namespace

std::vector<std::string> WrapText(std::string_view text, size_t width) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t feed = text.find('\n', start);
    std::string_view paragraph =
        text.substr(start, feed == std::string_view::npos ? std::string_view::npos : feed - start);
    do {
      size_t take = paragraph.size();
      if (take > width) {
        const size_t space = paragraph.rfind(' ', width);
        take = (space == std::string_view::npos || space == 0) ? width : space;
      }
      lines.emplace_back(paragraph.substr(0, take));
      paragraph.remove_prefix(take);
      if (!paragraph.empty() && paragraph.front() == ' ') paragraph.remove_prefix(1);
    } while (!paragraph.empty());
    if (feed == std::string_view::npos) break;
    start = feed + 1;
  }
  return lines;
}

std::vector<std::string> DrawDialog(const DialogPicture& picture) {
  std::vector<std::string> message = WrapText(picture.message, MESSAGE_WIDTH);
  message.resize(std::max(message.size(), MESSAGE_LINES));

  const std::string frame_edge = "+" + std::string(MESSAGE_WIDTH + 2, '-') + "+";
  std::vector<std::string> lines;
  std::string caption = "+- " + std::string(DIALOG_CAPTION) + " ";
  lines.push_back(caption + std::string(INNER_WIDTH + 2 - caption.size() - 1, '-') + "+");
  lines.push_back(Row(" " + frame_edge));
  for (size_t i = 0; i < message.size(); ++i) {
    std::string button(BUTTON_WIDTH, ' ');
    if (i == 0) button = Button("Upload", CONTROL_UPLOAD, picture);
    if (i == 2) button = Button("Close", CONTROL_CLOSE, picture);
    lines.push_back(Row(" | " + Padded(message[i], MESSAGE_WIDTH) + " |  " + button));
  }
  lines.push_back(Row(" " + frame_edge));
  lines.push_back(ProgressRow(picture));
  lines.push_back(Row(" " + picture.status));
  lines.push_back("+" + std::string(INNER_WIDTH, '-') + "+");
  return lines;
}

}  // namespace pelox
