#include "app/desktop/desktop_view.h"

#include "app/resources/strings.h"
#include "app/worker_thread.h"

namespace pelox {
namespace {

QString Text(int32_t string_id) {
  const std::string_view text = StringText(string_id);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

DesktopView::DesktopView(QObject* parent) : QObject(parent) {}

void DesktopView::ShowMessage(int32_t string_id) { emit MessageShown(Text(string_id)); }

void DesktopView::ShowMessage(int32_t first_id, int32_t second_id) {
  emit MessageShown(Text(first_id) + QLatin1Char('\n') + Text(second_id));
}

void DesktopView::EnableControl(int32_t control_id, bool enabled) {
  emit ControlEnabled(control_id, enabled);
}

void DesktopView::FocusControl(int32_t control_id) { emit ControlFocused(control_id); }

void DesktopView::SetCursor(int32_t cursor) { emit CursorSet(cursor); }

void DesktopView::Close() { emit Closed(); }

void DesktopView::SetProgress(int32_t position) { emit ProgressSet(position); }

void DesktopView::PostStep(int32_t step_id) { emit StepPosted(step_id); }

std::unique_ptr<Worker> DesktopView::StartWorker(std::function<void()> body) {
  return StartThreadWorker(std::move(body));
}

void DesktopView::ReportFacts(const DialogFacts& facts) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    facts_ = facts;
  }
  emit FactsReported();
}

void DesktopView::ShowPhase(const UpdateState& state) {
  if (phase_heard_) phase_heard_(state);
}

DialogFacts DesktopView::Facts() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return facts_;
}

}  // namespace pelox
