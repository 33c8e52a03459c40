#pragma once
// The dialog view of the desktop front end. Steps run on Qt's thread;
// workers set the bar and post steps from their own threads, which Qt's
// queued signals carry over to it.
#include <QObject>
#include <QString>
#include <mutex>

#include "app/dialog_view.h"
#include "app/update_phase.h"

namespace pelox {

class DesktopView final : public QObject, public DialogView {
  Q_OBJECT

 public:
  explicit DesktopView(QObject* parent = nullptr);

  void ShowMessage(int32_t string_id) override;
  void ShowMessage(int32_t first_id, int32_t second_id) override;
  void EnableControl(int32_t control_id, bool enabled) override;
  void FocusControl(int32_t control_id) override;
  void SetCursor(int32_t cursor) override;
  void Close() override;
  void SetProgress(int32_t position) override;
  void PostStep(int32_t step_id) override;
  std::unique_ptr<Worker> StartWorker(std::function<void()> body) override;
  void ReportFacts(const DialogFacts& facts) override;
  void ShowPhase(const UpdateState& state) override;

  // Hears each phase at once, on the steps' thread: WRITING must reach the
  // session's rules before the write command can leave.
  void OnPhase(std::function<void(const UpdateState&)> heard) { phase_heard_ = std::move(heard); }

  DialogFacts Facts() const;

 signals:
  void MessageShown(const QString& text);
  void ControlEnabled(int control_id, bool enabled);
  void ControlFocused(int control_id);
  void CursorSet(int cursor);
  void ProgressSet(int position);
  void StepPosted(int step_id);
  void FactsReported();
  void Closed();

 private:
  mutable std::mutex mutex_;
  DialogFacts facts_;
  std::function<void(const UpdateState&)> phase_heard_;
};

}  // namespace pelox
