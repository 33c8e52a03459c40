#pragma once
// The Main dialog as a desktop window: the message line, the phase in words
// with the progress bar, "Upload" and "Close", Cancel while cancelling is
// safe, and below the message what the run found and the verdict's detail,
// with its remedy as a button. The session runs on a thread of its own; if
// the window or its display goes while the camera may be writing, the
// process waits for the camera's verdict and ends with it.
#include <QDialog>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop/session_thread.h"
#include "app/session/options.h"
#include "app/session/run_verdict.h"
#include "app/session/update_session.h"

class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QTimer;

namespace pelox {

class UploaderWindow final : public QDialog {
  Q_OBJECT

 public:
  // `options` as parsed from the command line, the image already chosen;
  // `serial_ports`: the devices offered when no camera answers on the
  // storage pipe and none was named.
  UploaderWindow(UploaderOptions options, std::vector<std::string> serial_ports,
                 QWidget* parent = nullptr);
  ~UploaderWindow() override;
  UploaderWindow(const UploaderWindow&) = delete;
  UploaderWindow& operator=(const UploaderWindow&) = delete;

  // Checks the image, then starts the session on its thread.
  void Start();
  // The command line's exit status for how the run ended; valid once closed.
  int ExitStatus() const { return verdict_.exit_status; }
  const Verdict& Result() const { return verdict_; }
  // The chain waits for the user: Upload is offered or the run has ended.
  bool WaitsForUser() const;
  // Upload has not been pressed: an image or a port may still be chosen.
  bool BeforeUpload() const;
  // Ends the process with the verdict once the camera has given it, without
  // the window: its display or the window itself is gone.
  [[noreturn]] static void GoOnWithoutWindow(const char* why);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void Begin();
  void RefuseImage(const ImageRefusal& refusal);
  void ShowMessageText(const QString& text);
  void ShowDetail(const QString& text);
  void ShowStatus(const QString& text);
  void Announce(QLabel* label, const QString& shown, const QString& text);
  void EnableControl(int control_id, bool enabled);
  void FocusControl(int control_id);
  void KeepFocusUsable();
  void EnterPhase(const UpdateState& state);
  void ShowProgress(int position);
  void ShowReady();
  void ShowEnd();
  void OfferRemedy(std::optional<Remedy> remedy);
  void ApplyRemedy();
  void ConfirmInstall(const QString& question, bool older);
  void CheckVersion();
  void ReportVersion(const DialogFacts& facts);
  void WatchStall();
  void FitContents();
  void FitNow();
  void ChoosePort(QListWidgetItem* item);
  void CloseOrCancel();
  void Finish();
  QPushButton* Button(int control_id) const;
  Verdict Judge() const;

  UploaderOptions options_;
  std::vector<std::string> serial_ports_;
  bool ports_named_;
  std::unique_ptr<SessionThread> session_;
  // A run that only reads the camera's version again.
  std::unique_ptr<SessionThread> version_check_;
  // The run's verdict once its session is gone, as reading the version may change it.
  std::optional<Verdict> settled_;
  DialogFacts ended_facts_;  // of the run whose session is gone
  std::optional<ImageRefusal> image_refused_;  // the image failed before any camera was searched
  UpdateState phase_;
  std::string version_before_;  // the camera's version before the write
  // When the camera last acknowledged a frame; from the link's thread.
  std::atomic<uint32_t> last_acknowledged_ms_{0};
  bool upload_started_ = false;  // one run, one update: no image replaces it then
  bool closed_ = false;
  bool closing_ = false;  // Close was pressed at the end: no check starts
  bool headless_ = false;
  bool fit_pending_ = false;  // the window is gone: close with the verdict
  std::optional<Remedy> remedy_kind_;
  Verdict verdict_{RunCause::CLOSED};

  QFrame* frame_ = nullptr;
  QLabel* message_ = nullptr;
  QLabel* detail_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* ports_label_ = nullptr;
  QListWidget* ports_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* upload_ = nullptr;
  QPushButton* close_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* remedy_ = nullptr;
  QTimer* watch_timer_ = nullptr;
};

}  // namespace pelox
