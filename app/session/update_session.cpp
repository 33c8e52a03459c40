#include "app/session/update_session.h"

#include <utility>

#include "app/resources/strings.h"
#include "app/session/image_report.h"
#include "app/session/run_signals.h"
#include "app/session/search_notes.h"

namespace pelox {

// The front end's view, with the session's rules in front of it: each phase
// reaches the policy before the view (WRITING before the write command can
// leave), the facts are kept for the verdict, and workers start with the
// run's signals blocked.
class UpdateSession::RulesView final : public DialogView {
 public:
  RulesView(UpdateSession& session, DialogView& shown) : session_(session), shown_(shown) {}

  void ShowMessage(int32_t string_id) override { shown_.ShowMessage(string_id); }
  void ShowMessage(int32_t first_id, int32_t second_id) override {
    shown_.ShowMessage(first_id, second_id);
  }
  void EnableControl(int32_t control_id, bool enabled) override {
    shown_.EnableControl(control_id, enabled);
  }
  void FocusControl(int32_t control_id) override { shown_.FocusControl(control_id); }
  void SetCursor(int32_t cursor) override { shown_.SetCursor(cursor); }
  void Close() override { shown_.Close(); }
  void SetProgress(int32_t position) override { shown_.SetProgress(position); }
  void PostStep(int32_t step_id) override { shown_.PostStep(step_id); }
  std::unique_ptr<Worker> StartWorker(std::function<void()> body) override {
    const RunSignalsBlocked blocked;
    return shown_.StartWorker(std::move(body));
  }
  void ReportFacts(const DialogFacts& facts) override {
    session_.OnFacts(facts);
    shown_.ReportFacts(facts);
  }
  void ShowPhase(const UpdateState& state) override {
    session_.OnPhase(state);
    shown_.ShowPhase(state);
  }

 private:
  UpdateSession& session_;
  DialogView& shown_;
};

Verdict JudgeUpdate(const DialogFacts& facts, RunEnd end, const UploaderOptions& options) {
  end.image = options.image.empty() ? std::string(FIRMWARE_FILE_NAME) : options.image;
  if (facts.step_error == STEP_ERROR_FILE_NOT_FOUND) end.image_kind = ImageKind(end.image);
  return JudgeRun(facts, end, SearchNotesOf(options));
}

std::string NoCameraAdvice(const Verdict& verdict, const UploaderOptions& options) {
  if (verdict.cause != RunCause::NO_CAMERA) return {};
  return DeniedDevicesAdvice(SearchNotesOf(options));
}

std::optional<ImageRefusal> RefuseImageFirst(const DialogFacts& image_check,
                                             const UploaderOptions& options) {
  if (image_check.failed_step == 0) return std::nullopt;
  RunEnd end;
  end.cause = RunCause::IMAGE_REFUSED;
  const int32_t message =
      image_check.failed_step == STEP_OPEN_FIRMWARE ? STR_NO_FIRMWARE : STR_FIRMWARE_NOT_CORRECT;
  return ImageRefusal{image_check, message, JudgeUpdate(image_check, end, options)};
}

UpdateSession::UpdateSession(DialogView& view, UploaderOptions options)
    : options_(std::move(options)),
      rules_view_(std::make_unique<RulesView>(*this, view)),
      dialog_(*rules_view_, PendingRunSignal()),
      policy_(dialog_, options_.check) {
  dialog_.UseImage(options_.image);
  dialog_.PreferSpeed(options_.speed_index.value_or(0));
  dialog_.AllowVersions({options_.allow_reinstall, options_.allow_older});
  dialog_.ObserveLink(&UpdateSession::OnLinkEvent, this);
}

UpdateSession::~UpdateSession() = default;

void UpdateSession::ObserveLink(LinkEventCallback callback, void* user) {
  link_observer_ = callback;
  link_observer_user_ = user;
}

void UpdateSession::Start() { dialog_.Start(); }

void UpdateSession::Command(int32_t id) { dialog_.Command(static_cast<uint32_t>(id)); }

DialogFacts UpdateSession::Facts() const {
  const std::lock_guard lock(facts_mutex_);
  return facts_;
}

std::vector<std::string> UpdateSession::Warnings() const {
  if (!WasReady()) return {};
  return ReadyWarnings(Facts());
}

RunEnd UpdateSession::End() const { return policy_.End(bytes_acknowledged_); }

// On the thread of the camera call. After a reconnection the write starts
// over: the count is the camera's.
void UpdateSession::OnLinkEvent(void* user, const LinkEvent& event) {
  auto* session = static_cast<UpdateSession*>(user);
  if (event.kind == LinkEventKind::BYTES_ACKNOWLEDGED && session->transferring_) {
    session->bytes_acknowledged_ = event.bytes;
  }
  if (session->link_observer_ != nullptr) {
    session->link_observer_(session->link_observer_user_, event);
  }
}

void UpdateSession::OnPhase(const UpdateState& state) {
  transferring_ = state.phase == UpdatePhase::TRANSFERRING;
  policy_.OnPhase(state);
}

void UpdateSession::OnFacts(const DialogFacts& facts) {
  const std::lock_guard lock(facts_mutex_);
  facts_ = facts;
}

}  // namespace pelox
