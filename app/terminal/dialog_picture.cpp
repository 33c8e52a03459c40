#include "app/terminal/dialog_picture.h"

#include <algorithm>
#include <array>

#include "app/dialog_ids.h"

namespace pelox {
namespace {

constexpr size_t MESSAGE_LINES = 3;
constexpr size_t BUTTON_WIDTH = 12;
// Around the message: "| " and " |" of the box, "| " and " |" of the
// frame, two spaces and the buttons.
constexpr size_t WIDTH_BESIDE_MESSAGE = 2 + 4 + 2 + BUTTON_WIDTH + 2;
constexpr std::string_view KEY_HINT = " Tab switch  Enter press  Esc close";
// The same, whole down to 34 columns.
constexpr std::string_view KEY_HINT_NARROW = " Tab switch Enter press Esc close";
constexpr std::array<char, 4> BUSY_FRAMES = {'|', '/', '-', '\\'};

std::string Padded(std::string_view text, size_t width) {
  std::string line(text.substr(0, width));
  line.resize(width, ' ');
  return line;
}

// The widths of one drawing: the message area shrinks with the terminal.
struct Layout {
  explicit Layout(size_t width)
      : message(std::clamp(width, DIALOG_MIN_WIDTH, DIALOG_WIDTH) - WIDTH_BESIDE_MESSAGE),
        bar(message + 2),
        inner(message + WIDTH_BESIDE_MESSAGE - 2) {}
  size_t message;
  size_t bar;
  size_t inner;
};

std::string Button(std::string_view label, int32_t control, const DialogPicture& picture) {
  const bool enabled = control == CONTROL_UPLOAD ? picture.upload_enabled : picture.close_enabled;
  std::string text = enabled ? "[ " + std::string(label) + " ]" : "( " + std::string(label) + " )";
  if (picture.focus == control) text = ">" + text + "<";
  const size_t left = (BUTTON_WIDTH - std::min(text.size(), BUTTON_WIDTH)) / 2;
  return Padded(std::string(left, ' ') + text, BUTTON_WIDTH);
}

std::string Row(std::string_view content, const Layout& layout) {
  return "|" + Padded(content, layout.inner) + "|";
}

std::string ProgressRow(const DialogPicture& picture, const Layout& layout) {
  const int32_t percent = std::clamp(picture.progress, 0, 100);
  const auto filled = static_cast<size_t>(percent) * layout.bar / 100;
  std::string bar = "[" + std::string(filled, '#') + std::string(layout.bar - filled, '.') + "]";
  std::string percent_text = std::to_string(percent) + "%";
  percent_text.insert(0, 4 - std::min<size_t>(percent_text.size(), 4), ' ');
  std::string busy =
      picture.busy ? std::string(1, BUSY_FRAMES[picture.busy_frame % BUSY_FRAMES.size()]) + " busy"
                   : "";
  return Row(" " + bar + " " + percent_text + "  " + busy, layout);
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

std::vector<std::string> DrawDialog(const DialogPicture& picture, size_t width) {
  const Layout layout(width);
  std::vector<std::string> message = WrapText(picture.message, layout.message);
  message.resize(std::max(message.size(), MESSAGE_LINES));

  const std::string frame_edge = "+" + std::string(layout.message + 2, '-') + "+";
  std::vector<std::string> lines;
  const std::string caption = "+- " + std::string(DIALOG_CAPTION) + " ";
  lines.push_back(caption + std::string(layout.inner + 1 - caption.size(), '-') + "+");
  lines.push_back(Row(" " + frame_edge, layout));
  for (size_t i = 0; i < message.size(); ++i) {
    std::string button(BUTTON_WIDTH, ' ');
    if (i == 0) button = Button("Upload", CONTROL_UPLOAD, picture);
    if (i == 2) button = Button("Close", CONTROL_CLOSE, picture);
    lines.push_back(Row(" | " + Padded(message[i], layout.message) + " |  " + button, layout));
  }
  lines.push_back(Row(" " + frame_edge, layout));
  const auto add_wrapped = [&](std::string_view text) {
    for (const std::string& line : WrapText(text, layout.inner - 1)) {
      lines.push_back(Row(" " + line, layout));
    }
  };
  if (!picture.detail.empty()) add_wrapped(picture.detail);
  lines.push_back(ProgressRow(picture, layout));
  add_wrapped(picture.status);
  add_wrapped(picture.versions);
  if (!picture.note.empty()) add_wrapped(picture.note);
  lines.push_back("+" + std::string(layout.inner, '-') + "+");
  const size_t hint_width = layout.inner + 2;
  lines.push_back(Padded(KEY_HINT.size() <= hint_width ? KEY_HINT : KEY_HINT_NARROW, hint_width));
  return lines;
}

}  // namespace pelox
