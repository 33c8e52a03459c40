#include "app/terminal/drawn_presenter.h"

#include "app/diagnostics/run_trace.h"
#include "app/dialog_ids.h"
#include "app/terminal/terminal_view.h"

namespace pelox {
namespace {

// The busy indicator turns, and keys and resizes are taken, at this pace.
constexpr int DRAWN_POLL_MS = 150;

}  // namespace

void DrawnPresenter::Present(const SessionScene& scene) {
  DialogPicture picture = scene.picture;
  picture.progress = report_.BarPercent(scene.now_ms);
  picture.status = report_.Status(scene.now_ms);
  const DialogFacts& facts = scene.facts;
  if (!facts.camera_version.empty() && !facts.image_version.empty()) {
    picture.versions = "Camera " + facts.camera_version + ", image " + facts.image_version;
  }
  picture.note = note_;
  if (scene.chain_ended) {
    // The chain is over: nothing turns, and the result says why.
    picture.busy = false;
    picture.detail = scene.detail;
  }
  screen_.Draw(picture);
}

void DrawnPresenter::Wait(TerminalView& view, const std::function<void(int32_t)>& press) {
  const InputEvents input = view.WaitForWake(input_open_, DRAWN_POLL_MS);
  view.AdvanceBusyFrame();
  // Also takes a resize, which the next drawing follows.
  for (const Key key : screen_.TakeKeys()) {
    const DialogPicture picture = view.Picture();
    if (key == Key::NEXT) view.MoveFocus();
    if (key == Key::ESCAPE && picture.close_enabled) press(CONTROL_CLOSE);
    if (key == Key::PRESS) {
      const bool enabled =
          picture.focus == CONTROL_UPLOAD ? picture.upload_enabled : picture.close_enabled;
      if (enabled) press(picture.focus);
    }
  }
  // The end of input is Close, taken once the chain lets it.
  if (input.ended) input_open_ = false;
}

// Said once, in the box while it is drawn; the rest after the run.
std::string DrawnPresenter::TraceLoss() {
  std::string lost = RunTraceLoss();
  return lost == note_ ? std::string() : lost;
}

}  // namespace pelox
