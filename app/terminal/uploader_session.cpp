#include "app/terminal/uploader_session.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_ids.h"
#include "app/main_dialog.h"
#include "app/resources/strings.h"
#include "app/terminal/dialog_picture.h"
#include "app/terminal/keys.h"
#include "app/terminal/plain_report.h"
#include "app/terminal/terminal_view.h"

namespace pelox {
namespace {

// The busy indicator turns at this pace while the dialog is drawn.
constexpr int DRAWN_POLL_MS = 150;
constexpr int WAIT_FOREVER = -1;

std::atomic<bool> interrupted{false};

void OnInterrupt(int /*signal*/) { interrupted = true; }

// Ctrl+C and SIGTERM ask for Close like Esc does; poll is not restarted so
// the loop sees them at once.
void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Keys one at a time without echo while the dialog is drawn; the terminal
// is restored however the session ends.
class RawKeyboard {
 public:
  RawKeyboard() {
    if (tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IXON);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    std::fputs("\x1b[?25l", stdout);
  }
  ~RawKeyboard() {
    if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    std::fputs("\x1b[?25h", stdout);
    std::fflush(stdout);
  }
  RawKeyboard(const RawKeyboard&) = delete;
  RawKeyboard& operator=(const RawKeyboard&) = delete;

 private:
  termios saved_{};
  bool active_ = false;
};

// Draws the dialog over its previous picture.
class Screen {
 public:
  void Draw(const std::vector<std::string>& lines) {
    std::string out;
    if (lines_drawn_ > 0) out += "\x1b[" + std::to_string(lines_drawn_) + "A";
    for (const std::string& line : lines) out += "\r\x1b[K" + line + "\n";
    lines_drawn_ = lines.size();
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
  }

 private:
  size_t lines_drawn_ = 0;
};

class Session {
 public:
  explicit Session(SessionMode mode) : mode_(mode), dialog_(view_) {
    // The camera steps block for a while after their start message.
    view_.OnMessage([this] { Show(); });
  }

  SessionOutcome Run() {
    dialog_.Start();
    while (!view_.IsClosed()) {
      if (const auto step = view_.TakeStep()) {
        dialog_.Command(static_cast<uint32_t>(*step));
      } else if (!ActOnItsOwn()) {
        Show();
        Wait();
      }
    }
    Show();
    return {view_.HasShown(STR_WRITE_COMPLETE), view_.HasShown(STR_CAMERA_NOT_CONNECTED)};
  }

 private:
  void Press(int32_t control) { dialog_.Command(static_cast<uint32_t>(control)); }

  // What the session does without a key: --yes, the end of a plain run, an
  // interrupt. True when it did something.
  bool ActOnItsOwn() {
    const DialogPicture picture = view_.Picture();
    if (interrupted.exchange(false) && picture.close_enabled) {
      Press(CONTROL_CLOSE);
      return true;
    }
    if (picture.upload_enabled && mode_.yes && !upload_pressed_) {
      upload_pressed_ = true;
      Press(CONTROL_UPLOAD);
      return true;
    }
    const bool chain_ended = view_.IsIdle() && picture.close_enabled && !picture.upload_enabled;
    if (chain_ended && (mode_.yes || !mode_.drawn)) {
      Show();
      Press(CONTROL_CLOSE);
      return true;
    }
    return false;
  }

  void Show() {
    const std::vector<ViewEvent> events = view_.TakeEvents();
    if (mode_.drawn) {
      screen_.Draw(DrawDialog(view_.Picture()));
      return;
    }
    for (const std::string& line : report_.Lines(events)) std::printf("%s\n", line.c_str());
    const DialogPicture picture = view_.Picture();
    if (picture.upload_enabled && !mode_.yes && !prompted_) {
      prompted_ = true;
      std::printf("Type \"upload\" and Enter to start the update, or \"close\" to quit.\n");
    }
    std::fflush(stdout);
  }

  void Wait() {
    const bool read_input = mode_.drawn || (!mode_.yes && input_open_);
    std::array<pollfd, 2> watched = {pollfd{view_.WakeDescriptor(), POLLIN, 0},
                                     pollfd{STDIN_FILENO, POLLIN, 0}};
    const nfds_t count = read_input ? 2 : 1;
    const int timeout = mode_.drawn ? DRAWN_POLL_MS : WAIT_FOREVER;
    if (poll(watched.data(), count, timeout) < 0 && errno != EINTR) return;
    view_.DrainWake();
    if (mode_.drawn) view_.AdvanceBusyFrame();
    if (read_input && (watched[1].revents & (POLLIN | POLLHUP)) != 0) ReadInput();
  }

  void ReadInput() {
    std::array<char, 64> bytes{};
    const ssize_t count = read(STDIN_FILENO, bytes.data(), bytes.size());
    if (count <= 0) {
      input_open_ = false;
      if (!mode_.drawn) interrupted = true;  // no more input: close when allowed
      return;
    }
    const std::string_view received(bytes.data(), static_cast<size_t>(count));
    if (mode_.drawn) {
      for (const Key key : DecodeKeys(received)) Answer(key);
    } else {
      ReadCommandLines(received);
    }
  }

  void Answer(Key key) {
    const DialogPicture picture = view_.Picture();
    if (key == Key::NEXT) view_.MoveFocus();
    if (key == Key::ESCAPE && picture.close_enabled) Press(CONTROL_CLOSE);
    if (key == Key::PRESS) {
      const bool enabled =
          picture.focus == CONTROL_UPLOAD ? picture.upload_enabled : picture.close_enabled;
      if (enabled) Press(picture.focus);
    }
  }

  void ReadCommandLines(std::string_view received) {
    line_ += received;
    for (size_t feed = line_.find('\n'); feed != std::string::npos; feed = line_.find('\n')) {
      const std::string command = line_.substr(0, feed);
      line_.erase(0, feed + 1);
      const DialogPicture picture = view_.Picture();
      if ((command == "upload" || command == "u") && picture.upload_enabled) {
        Press(CONTROL_UPLOAD);
      } else if ((command == "close" || command == "c") && picture.close_enabled) {
        Press(CONTROL_CLOSE);
      }
    }
  }

  SessionMode mode_;
  TerminalView view_;
  MainDialog dialog_;
  PlainReport report_;
  Screen screen_;
  bool upload_pressed_ = false;
  bool prompted_ = false;
  bool input_open_ = true;
  std::string line_;
};

}  // namespace

SessionOutcome RunUploaderSession(SessionMode mode) {
  CatchInterrupts();
  std::optional<RawKeyboard> keyboard;
  if (mode.drawn) keyboard.emplace();
  Session session(mode);
  return session.Run();
}

}  // namespace pelox
