#include "app/terminal/uploader_session.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_ids.h"
#include "app/main_dialog.h"
#include "app/resources/strings.h"
#include "app/terminal/curses_screen.h"
#include "app/terminal/dialog_picture.h"
#include "app/terminal/keys.h"
#include "app/terminal/link_event_text.h"
#include "app/terminal/run_signals.h"
#include "app/terminal/run_trace.h"
#include "app/terminal/sleep_inhibitor.h"
#include "app/terminal/terminal_view.h"
#include "link/speed_table.h"
#include "transport/port/port_types.h"

namespace pelox {
namespace {

// The busy indicator turns, and keys and resizes are taken, at this pace
// while the dialog is drawn.
constexpr int DRAWN_POLL_MS = 150;
// Lines show the waits' progress at this pace at the least.
constexpr int LINES_POLL_MS = 1000;
// A command line longer than this is no command: it is dropped.
constexpr size_t COMMAND_LINE_MAX = 256;

const char* StepName(int32_t step) {
  switch (step) {
    case STEP_CONNECT: return "connect";
    case STEP_OPEN_FIRMWARE: return "open-firmware";
    case STEP_CHECK_FIRMWARE: return "check-firmware";
    case STEP_CHECK_CAMERA: return "check-camera";
    case STEP_START_TRANSFER: return "start-transfer";
    case STEP_TRANSFER_DONE: return "transfer-done";
    case STEP_WRITE_FINISHED: return "write-finished";
    case STEP_WRITE_FAILED: return "write-failed";
    default: return "command";
  }
}

void Print(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  if (!lines.empty()) std::fflush(stdout);
}

// The terminal's settings as they were, for a signal that ends the program
// while the dialog is drawn.
class SavedTerminal {
 public:
  SavedTerminal() {
    if (tcgetattr(STDIN_FILENO, &saved_) == 0) RestoreTerminalOnSignal(&saved_);
  }
  ~SavedTerminal() { RestoreTerminalOnSignal(nullptr); }
  SavedTerminal(const SavedTerminal&) = delete;
  SavedTerminal& operator=(const SavedTerminal&) = delete;

 private:
  termios saved_{};
};

class Session {
 public:
  Session(const SessionMode& mode, RunReport& report, CursesScreen* screen)
      : mode_(mode),
        report_(report),
        screen_(screen),
        dialog_(view_, PendingRunSignal()),
        started_(std::chrono::steady_clock::now()) {
    dialog_.UseImage(mode.image);
    dialog_.PreferSpeed(mode.speed_index);
    dialog_.AllowVersions(mode.allowance);
    dialog_.ObserveLink(&Session::OnLinkEvent, this);
    // The camera steps block for a while after their start message.
    view_.OnMessage([this] { Show(); });
  }

  SessionOutcome Run() {
    dialog_.Start();
    while (!view_.IsClosed()) {
      if (ActOnSignal()) continue;
      if (const auto step = view_.TakeStep()) {
        TraceRunLine(std::string("step ") + StepName(*step));
        Print(Lines(report_.Step(StepName(*step), NowMs())));
        dialog_.Command(static_cast<uint32_t>(*step));
        if (*step == STEP_CONNECT) SaySpeed();
        WarnWhenReady();
      } else if (!ActOnItsOwn()) {
        Show();
        Wait();
      }
    }
    Show();
    inhibitor_.Release();
    return {view_.Facts(), End(), last_message_, mode_.drawn, NowMs()};
  }

 private:
  // Link events come on the thread of the camera call: frames go to the
  // trace at once, the rest to the loop.
  static void OnLinkEvent(void* user, const LinkEvent& event) {
    auto* session = static_cast<Session*>(user);
    if (event.kind == LinkEventKind::FRAME_SENT || event.kind == LinkEventKind::FRAME_RECEIVED) {
      TraceRunLine(FrameTraceLine(event.kind == LinkEventKind::FRAME_SENT, event.packet));
      return;
    }
    if (const std::string line = LinkEventLine(event); !line.empty()) TraceRunLine(line);
    session->view_.NoteLinkEvent(event);
  }

  RunEnd End() const {
    RunEnd end;
    end.written = view_.HasShown(STR_WRITE_COMPLETE);
    end.ready = view_.HasShown(STR_CLICK_UPLOAD);
    end.writing = view_.HasShown(STR_WRITING);
    end.interrupted = interrupted_;
    end.check_only = mode_.check_only;
    end.bytes_sent = report_.BytesSent();
    return end;
  }

  // A note for the user: inside the drawn dialog, or a line on standard error.
  void Say(const std::string& text) {
    TraceRunLine("note " + text);
    if (mode_.drawn) {
      note_ = text;
    } else {
      std::fprintf(stderr, "pelox-uploader: %s\n", text.c_str());
    }
  }

  // Nothing more happens without the user, and Upload is not offered.
  bool ChainEnded() const {
    const DialogPicture picture = view_.Picture();
    return view_.IsIdle() && picture.close_enabled && !picture.upload_enabled;
  }

  uint64_t NowMs() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - started_)
                                     .count());
  }

  // The report's lines, for printing when the dialog is not drawn.
  std::vector<std::string> Lines(std::vector<std::string> lines) const {
    return mode_.drawn ? std::vector<std::string>{} : lines;
  }

  void Press(int32_t control) { dialog_.Command(static_cast<uint32_t>(control)); }

  // -v: the serial speed the camera took.
  void SaySpeed() {
    const DialogFacts facts = view_.Facts();
    if (mode_.verbosity < 1 || mode_.drawn || facts.speed_index == 0 ||
        facts.port_type == PORT_TYPE_STORAGE) {
      return;
    }
    Say(("connected at " + std::to_string(SpeedTableBaud(facts.speed_index)) + " bit/s").c_str());
  }

  // Once the checks passed, what the user should know before the update; a
  // drawn dialog keeps them for after it closes.
  void WarnWhenReady() {
    if (warned_ || !view_.HasShown(STR_CLICK_UPLOAD)) return;
    warned_ = true;
    if (mode_.drawn) return;
    for (const std::string& warning : ReadyWarnings(view_.Facts())) Say(warning.c_str());
  }

  // Before the transfer a signal ends the run; during it, it cancels the
  // transfer unless the write has begun; while the camera writes, it waits
  // for the camera's verdict. The dialog decides which, and the words follow.
  bool ActOnSignal() {
    if (TakeRunSignal() == 0) return false;
    if (transferring_ && dialog_.CancelTransfer()) {
      interrupted_ = true;
      Say("cancelling the transfer; the camera keeps its old firmware");
      return false;
    }
    if (transferring_ || writing_) {
      if (!deferred_) {
        Say("the camera is writing its firmware; the program will end when it is done");
      }
      deferred_ = true;
      return false;
    }
    interrupted_ = true;
    if (!view_.Picture().close_enabled) return false;
    Press(CONTROL_CLOSE);
    return true;
  }

  // What the session does without a key: --yes, --check, the end of a run
  // in lines, the end of input or a signal once the chain ends. True when it
  // did something.
  bool ActOnItsOwn() {
    const DialogPicture picture = view_.Picture();
    if (picture.upload_enabled && mode_.check_only) {
      Press(CONTROL_CLOSE);
      return true;
    }
    if (picture.upload_enabled && mode_.yes && !upload_pressed_) {
      upload_pressed_ = true;
      Press(CONTROL_UPLOAD);
      return true;
    }
    const bool waiting_for_user = view_.IsIdle() && picture.close_enabled;
    const bool chain_ended = ChainEnded();
    const bool close_at_end = mode_.yes || !mode_.drawn || interrupted_ || deferred_;
    if ((chain_ended && close_at_end) || (waiting_for_user && !input_open_)) {
      Show();
      Press(CONTROL_CLOSE);
      return true;
    }
    return false;
  }

  void Show() {
    const uint64_t now = NowMs();
    const DialogFacts facts = view_.Facts();
    report_.SetImageSize(facts.image_size);
    if (facts.speed_refused && !speed_refusal_said_) {
      speed_refusal_said_ = true;
      Say("the camera refused the speed asked for; it is updated at " +
          std::to_string(SpeedTableBaud(SPEED_INDEX_USUAL)) + " bit/s");
    }
    // Said once: in the box while it is drawn, else here; the rest after the run.
    if (const std::string lost = mode_.drawn ? RunTraceLoss() : TakeRunTraceLoss();
        !lost.empty() && lost != note_) {
      Say(lost);
    }
    for (const ViewEvent& event : view_.TakeEvents()) {
      if (event.link) {
        Print(Lines(report_.Link(*event.link, now)));
      } else if (event.is_message) {
        Note(event.string_id, event.message);
        std::vector<std::string> lines = report_.Message(event.string_id, event.message, now);
        if (event.string_id == STR_CLICK_UPLOAD && !UploadOffered()) continue;
        Print(Lines(std::move(lines)));
      } else {
        Print(Lines(report_.Progress(event.progress, now)));
      }
    }
    Print(Lines(report_.Tick(now)));
    if (mode_.drawn) {
      DialogPicture picture = view_.Picture();
      picture.progress = report_.BarPercent(now);
      picture.status = report_.Status(now);
      if (!facts.camera_version.empty() && !facts.image_version.empty()) {
        picture.versions = "Camera " + facts.camera_version + ", image " + facts.image_version;
      }
      picture.note = note_;
      if (ChainEnded()) {
        // The chain is over: nothing turns, and the result says why.
        picture.busy = false;
        if (mode_.judge) picture.detail = mode_.judge(facts, End()).detail;
      }
      screen_->Draw(picture);
      return;
    }
    const DialogPicture picture = view_.Picture();
    if (picture.upload_enabled && !mode_.yes && !mode_.check_only && !prompted_) {
      prompted_ = true;
      // Standard output may be a log; the user reads this where they type.
      std::fprintf(stderr,
                   "Type \"upload\" and Enter to start the update, or \"close\" to quit.\n");
    }
  }

  // Whether anybody is asked to click Upload: not with --yes or --check.
  bool UploadOffered() const { return !mode_.yes && !mode_.check_only; }

  // Follows the chain's phase by its messages: from here on a signal may no
  // longer end the program at once.
  void Note(int32_t string_id, const std::string& text) {
    last_message_ = text;
    TraceRunLine("message " + text);
    if (string_id == STR_UPLOADING) {
      transferring_ = true;
      inhibitor_.Take();
    }
    if (string_id == STR_WRITING) {
      transferring_ = false;
      writing_ = true;
      AllowEndAtOnce(false);
    }
    if (string_id == STR_WRITE_COMPLETE || string_id == STR_WRITE_ERROR) {
      transferring_ = false;
      writing_ = false;
      AllowEndAtOnce(true);
      inhibitor_.Release();
    }
  }

  void Wait() {
    const bool read_input = input_open_ && (mode_.drawn || !mode_.yes);
    std::array<pollfd, 2> watched = {pollfd{view_.WakeDescriptor(), POLLIN, 0},
                                     pollfd{STDIN_FILENO, POLLIN, 0}};
    const nfds_t count = read_input ? 2 : 1;
    const int timeout = mode_.drawn ? DRAWN_POLL_MS : LINES_POLL_MS;
    if (poll(watched.data(), count, timeout) < 0 && errno != EINTR) return;
    view_.DrainWake();
    const bool input_ended =
        read_input && (watched[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    if (mode_.drawn) {
      view_.AdvanceBusyFrame();
      // Also takes a resize, which the next drawing follows.
      for (const Key key : screen_->TakeKeys()) Answer(key);
      // The end of input is Close, taken once the chain lets it.
      if (input_ended) input_open_ = false;
      return;
    }
    if (read_input && (watched[1].revents & POLLIN) != 0) {
      ReadCommandLines();
    } else if (input_ended) {
      input_open_ = false;
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

  void ReadCommandLines() {
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
      const DialogPicture picture = view_.Picture();
      if ((command == "upload" || command == "u") && picture.upload_enabled) {
        Press(CONTROL_UPLOAD);
      } else if ((command == "close" || command == "c") && picture.close_enabled) {
        Press(CONTROL_CLOSE);
      }
    }
    if (line_.size() > COMMAND_LINE_MAX) line_.clear();
  }

  SessionMode mode_;
  RunReport& report_;
  CursesScreen* screen_;
  TerminalView view_;
  MainDialog dialog_;
  SleepInhibitor inhibitor_;
  std::chrono::steady_clock::time_point started_;
  std::string last_message_;
  bool upload_pressed_ = false;
  bool prompted_ = false;
  bool input_open_ = true;
  bool transferring_ = false;
  bool writing_ = false;
  bool interrupted_ = false;
  bool deferred_ = false;
  bool speed_refusal_said_ = false;
  bool warned_ = false;
  std::string note_;
  std::string line_;
};

}  // namespace

SessionOutcome RunUploaderSession(const SessionMode& mode, RunReport& report) {
  SessionMode chosen = mode;
  std::optional<SavedTerminal> saved;
  std::optional<CursesScreen> screen;
  if (mode.drawn) {
    saved.emplace();
    screen.emplace();
    // Where the dialog cannot be drawn, lines are printed.
    chosen.drawn = screen->Start();
  }
  Session session(chosen, report, chosen.drawn ? &*screen : nullptr);
  SessionOutcome outcome = session.Run();
  if (chosen.drawn) {
    screen.reset();
    if (outcome.end.ready) {
      for (const std::string& warning : ReadyWarnings(outcome.facts))
        std::fprintf(stderr, "pelox-uploader: %s\n", warning.c_str());
    }
  }
  return outcome;
}

}  // namespace pelox
