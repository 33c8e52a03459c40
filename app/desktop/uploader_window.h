#pragma once
// The Main dialog as a desktop window: the message line, the progress bar,
// "Upload" and "Close", and below the message the verdict's detail once the
// chain has ended. Before "Upload", a dropped image or a chosen serial port
// starts the checks again.
#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "app/desktop/desktop_view.h"
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

  // Posts the first step; the chain runs in Qt's event loop.
  void Start();
  // The command line's exit status for how the run ended; valid once closed.
  int ExitStatus() const { return verdict_.exit_status; }
  const Verdict& Result() const { return verdict_; }
  // The chain waits for the user: Upload is offered or the run has ended.
  bool WaitsForUser() const;
  // Upload has not been pressed: an image or a port may still be chosen.
  bool BeforeUpload() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  void Begin();
  void RunStep(int step_id);
  void ShowMessageText(const QString& text);
  void EnableControl(int control_id, bool enabled);
  void FocusControl(int control_id);
  void EnterPhase(const UpdateState& state);
  void ShowWarnings();
  void ShowEnd();
  void FitContents();
  void ActOnSignal();
  void ChoosePort(QListWidgetItem* item);
  void Finish();
  QPushButton* Button(int control_id) const;

  UploaderOptions options_;
  std::vector<std::string> serial_ports_;
  bool ports_named_;
  std::unique_ptr<DesktopView> view_;
  std::unique_ptr<UpdateSession> session_;
  UpdateState phase_;
  bool upload_started_ = false;  // one run, one update: no image replaces it then
  bool closed_ = false;
  Verdict verdict_{RunCause::CLOSED};

  QFrame* frame_ = nullptr;
  QLabel* message_ = nullptr;
  QLabel* detail_ = nullptr;
  QLabel* ports_label_ = nullptr;
  QListWidget* ports_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* upload_ = nullptr;
  QPushButton* close_ = nullptr;
  QTimer* signal_timer_ = nullptr;
};

}  // namespace pelox
