#include "app/terminal/lines_presenter.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>

#include "app/diagnostics/run_trace.h"
#include "app/dialog_ids.h"
#include "app/terminal/terminal_view.h"

namespace pelox {
namespace {

// Lines show the waits' progress at this pace at the least.
constexpr int LINES_POLL_MS = 1000;
// A command line longer than this is no command: it is dropped.
constexpr size_t COMMAND_LINE_MAX = 256;

}  // namespace

void LinesPresenter::Say(const std::string& text) {
  std::fprintf(stderr, "pelox-uploader: %s\n", text.c_str());
}

void LinesPresenter::Print(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  if (!lines.empty()) std::fflush(stdout);
}

void LinesPresenter::Present(const SessionScene& scene) {
  if (scene.picture.upload_enabled && !yes_ && !check_only_ && !prompted_) {
    prompted_ = true;
    // Standard output may be a log; the user reads this where they type.
    std::fprintf(stderr, "Type \"upload\" and Enter to start the update, or \"close\" to quit.\n");
  }
}

void LinesPresenter::Wait(TerminalView& view, const std::function<void(int32_t)>& press) {
  const bool read_input = input_open_ && !yes_;
  const InputEvents input = view.WaitForWake(read_input, LINES_POLL_MS);
  if (input.readable) {
    ReadCommandLines(view, press);
  } else if (input.ended) {
    input_open_ = false;
  }
}

void LinesPresenter::ReadCommandLines(const TerminalView& view,
                                      const std::function<void(int32_t)>& press) {
  std::array<char, 64> bytes{};
  const ssize_t count = read(STDIN_FILENO, bytes.data(), bytes.size());
  if (count <= 0) {
    // The end of input is Close, taken once the chain lets it.
    if (count == 0 || errno != EINTR) input_open_ = false;
    return;
  }
  line_.append(bytes.data(), static_cast<size_t>(count));
  for (size_t feed = line_.find('\n'); feed != std::string::npos; feed = line_.find('\n')) {
    const std::string command = line_.substr(0, feed);
    line_.erase(0, feed + 1);
    const DialogPicture picture = view.Picture();
    if ((command == "upload" || command == "u") && picture.upload_enabled) {
      press(CONTROL_UPLOAD);
    } else if ((command == "close" || command == "c") && picture.close_enabled) {
      press(CONTROL_CLOSE);
    }
  }
  if (line_.size() > COMMAND_LINE_MAX) line_.clear();
}

std::string LinesPresenter::TraceLoss() { return TakeRunTraceLoss(); }

}  // namespace pelox
