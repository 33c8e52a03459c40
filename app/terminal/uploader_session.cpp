#include "app/terminal/uploader_session.h"

#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/diagnostics/link_event_text.h"
#include "app/diagnostics/run_trace.h"
#include "app/dialog_ids.h"
#include "app/session/run_signals.h"
#include "app/session/update_session.h"
#include "app/terminal/curses_screen.h"
#include "app/terminal/drawn_presenter.h"
#include "app/terminal/lines_presenter.h"
#include "app/terminal/terminal_view.h"
#include "link/speed_table.h"
#include "transport/port/port_types.h"

namespace pelox {
namespace {

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

std::string PhaseTraceLine(const UpdateState& state) {
  std::string line = "phase " + std::string(UpdatePhaseText(state.phase));
  if (state.phase == UpdatePhase::ENDED) line += " " + std::string(RunCauseText(state.cause));
  return line;
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

// The loop: steps, signals and the presenter's turns, until the dialog is
// closed.
class Session {
 public:
  Session(const SessionMode& mode, RunReport& report, SessionPresenter& presenter)
      : mode_(mode),
        report_(report),
        presenter_(presenter),
        session_(view_, mode.options),
        started_(std::chrono::steady_clock::now()) {
    session_.ObserveLink(&Session::OnLinkEvent, this);
    // The camera steps block for a while after their start message.
    view_.OnMessage([this] { Show(); });
    view_.OnPhase([](const UpdateState& state) { TraceRunLine(PhaseTraceLine(state)); });
  }

  SessionOutcome Run() {
    session_.Start();
    while (!view_.IsClosed()) {
      if (ActOnSignal()) continue;
      if (const auto step = view_.TakeStep()) {
        TraceRunLine(std::string("step ") + StepName(*step));
        presenter_.Print(report_.Step(StepName(*step), NowMs()));
        session_.Command(*step);
        if (*step == STEP_CONNECT) SaySpeed();
        WarnWhenReady();
      } else if (!ActOnItsOwn()) {
        Show();
        presenter_.Wait(view_, [this](int32_t control) { Press(control); });
      }
    }
    Show();
    return {view_.Facts(), session_.Judge(), session_.Warnings(),
            last_message_, mode_.drawn,      NowMs()};
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
    // The search and the connection run on the loop's thread: told at once.
    if (std::this_thread::get_id() == session->loop_thread_) session->Show();
  }

  RunEnd End() const { return session_.End(); }

  void Say(const std::string& text) {
    TraceRunLine("note " + text);
    presenter_.Say(text);
  }

  void Remark(const std::string& text) {
    TraceRunLine("note " + text);
    presenter_.Remark(text);
  }

  // Nothing more happens without the user, and Upload is not offered.
  bool ChainEnded() const { return view_.IsIdle() && session_.ChainEnded(); }

  uint64_t NowMs() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - started_)
                                     .count());
  }

  void Press(int32_t control) { session_.Command(control); }

  // -v: the serial speed the camera took.
  void SaySpeed() {
    const DialogFacts facts = view_.Facts();
    if (mode_.options.verbosity < 1 || facts.speed_index == 0 ||
        facts.port_type == PORT_TYPE_STORAGE) {
      return;
    }
    Remark("connected at " + std::to_string(SpeedTableBaud(facts.speed_index)) + " bit/s");
  }

  // Once the checks passed, what the user should know before the update.
  void WarnWhenReady() {
    if (warned_ || !session_.WasReady()) return;
    warned_ = true;
    for (const std::string& warning : session_.Warnings()) Remark(warning);
  }

  // The policy decides what a signal does; the words follow. True when it
  // closed the dialog.
  bool ActOnSignal() {
    const SignalAction action = session_.ActOnSignal();
    if (!action.note.empty()) Say(action.note);
    return action.closed;
  }

  // What the session does without a key: --yes, --check, the end of a run
  // in lines, the end of input or a signal once the chain ends. True when it
  // did something.
  bool ActOnItsOwn() {
    const DialogPicture picture = view_.Picture();
    if (picture.upload_enabled && mode_.options.check) {
      Press(CONTROL_CLOSE);
      return true;
    }
    if (picture.upload_enabled && mode_.options.yes && !upload_pressed_) {
      upload_pressed_ = true;
      Press(CONTROL_UPLOAD);
      return true;
    }
    const bool waiting_for_user = view_.IsIdle() && picture.close_enabled;
    const bool close_at_end = presenter_.ClosesAtEnd() || session_.EndsWithChain();
    if ((ChainEnded() && close_at_end) || (waiting_for_user && !presenter_.InputOpen())) {
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
    if (const std::string lost = presenter_.TraceLoss(); !lost.empty()) Say(lost);
    for (const ViewEvent& event : view_.TakeEvents()) {
      if (event.phase) {
        shown_phase_ = event.phase->phase;
        report_.EnterPhase(*event.phase, now);
      } else if (event.link) {
        presenter_.Print(report_.Link(*event.link, now));
      } else if (event.is_message) {
        last_message_ = event.message;
        TraceRunLine("message " + event.message);
        std::vector<std::string> lines = report_.Message(event.string_id, event.message, now);
        // Nobody is asked to click Upload with --yes or --check.
        if (shown_phase_ == UpdatePhase::READY && (mode_.options.yes || mode_.options.check)) {
          continue;
        }
        presenter_.Print(lines);
      } else {
        presenter_.Print(report_.Progress(event.progress, now));
      }
    }
    presenter_.Print(report_.Tick(now));
    SessionScene scene{view_.Picture(), facts, now, ChainEnded(), {}};
    if (scene.chain_ended) scene.detail = DetailWithOptions(session_.Judge());
    presenter_.Present(scene);
  }

  SessionMode mode_;
  RunReport& report_;
  SessionPresenter& presenter_;
  TerminalView view_;
  UpdateSession session_;
  std::chrono::steady_clock::time_point started_;
  const std::thread::id loop_thread_ = std::this_thread::get_id();
  std::string last_message_;
  bool upload_pressed_ = false;
  UpdatePhase shown_phase_ = UpdatePhase::SEARCHING;  // as far as the events shown went
  bool speed_refusal_said_ = false;
  bool warned_ = false;
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
  std::unique_ptr<SessionPresenter> presenter;
  if (chosen.drawn) {
    presenter = std::make_unique<DrawnPresenter>(*screen, report, chosen.options.yes);
  } else {
    presenter = std::make_unique<LinesPresenter>(chosen.options.yes, chosen.options.check);
  }
  SessionOutcome outcome = Session(chosen, report, *presenter).Run();
  if (chosen.drawn) {
    presenter.reset();
    screen.reset();
    for (const std::string& warning : outcome.warnings) {
      std::fprintf(stderr, "pelox-uploader: %s\n", warning.c_str());
    }
  }
  return outcome;
}

}  // namespace pelox
