#include "app/desktop/uploader_window.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/desktop/desktop_texts.h"
#include "app/dialog_ids.h"
#include "app/session/device_choice.h"

namespace pelox {
namespace {

// The message line holds two lines of text at the least.
constexpr int MESSAGE_LINES = 2;
// About as wide as the longest message split in two.
constexpr int MESSAGE_WIDTH_CHARACTERS = 44;
// The serial port list shows this many rows before it scrolls.
constexpr int PORT_ROWS_SHOWN = 4;
// A signal (logout, kill) is looked at this often.
constexpr int SIGNAL_POLL_MS = 200;

QString Text(const std::string& text) { return QString::fromStdString(text); }

// The one local file of a drag, if that is what it carries.
QString DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().front();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

UploaderWindow::UploaderWindow(UploaderOptions options, std::vector<std::string> serial_ports,
                               QWidget* parent)
    : QDialog(parent),
      options_(std::move(options)),
      serial_ports_(std::move(serial_ports)),
      ports_named_(!options_.ports.empty()) {
  BuildControls();
  setAcceptDrops(true);
  signal_timer_ = new QTimer(this);
  connect(signal_timer_, &QTimer::timeout, this, &UploaderWindow::ActOnSignal);
  signal_timer_->start(SIGNAL_POLL_MS);
}

UploaderWindow::~UploaderWindow() {
  // The session joins its workers, which still talk to the view.
  session_.reset();
  view_.reset();
}

void UploaderWindow::BuildControls() {
  setWindowTitle(Text(TEXT_CAPTION));
  setWindowIcon(QIcon::fromTheme(Text(ICON_NAME)));

  message_ = new QLabel;
  message_->setObjectName("message");
  message_->setWordWrap(true);
  message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  message_->setAccessibleName(Text(TEXT_MESSAGE_NAME));
  message_->setMinimumWidth(message_->fontMetrics().averageCharWidth() * MESSAGE_WIDTH_CHARACTERS);
  message_->setMinimumHeight(message_->fontMetrics().lineSpacing() * MESSAGE_LINES);

  detail_ = new QLabel;
  detail_->setObjectName("detail");
  detail_->setWordWrap(true);
  detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  detail_->setAccessibleName(Text(TEXT_DETAIL_NAME));
  detail_->hide();

  ports_label_ = new QLabel(Text(TEXT_PORTS_LABEL));
  ports_label_->setObjectName("ports-label");
  ports_label_->setWordWrap(true);
  ports_ = new QListWidget;
  ports_->setObjectName("ports");
  ports_->setAccessibleName(Text(TEXT_PORTS_NAME));
  ports_label_->setBuddy(ports_);
  for (const std::string& port : serial_ports_) ports_->addItem(Text(port));
  if (!serial_ports_.empty()) {
    const int rows = std::min(static_cast<int>(serial_ports_.size()), PORT_ROWS_SHOWN);
    ports_->setFixedHeight(ports_->sizeHintForRow(0) * rows + 2 * ports_->frameWidth());
  }
  ports_label_->hide();
  ports_->hide();
  connect(ports_, &QListWidget::itemActivated, this, &UploaderWindow::ChoosePort);
  connect(ports_, &QListWidget::itemClicked, this, &UploaderWindow::ChoosePort);

  frame_ = new QFrame;
  frame_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* inside = new QVBoxLayout(frame_);
  inside->addWidget(message_);
  inside->addWidget(detail_);
  inside->addWidget(ports_label_);
  inside->addWidget(ports_);

  progress_ = new QProgressBar;
  progress_->setObjectName("progress");
  progress_->setRange(PROGRESS_EMPTY, PROGRESS_FULL);
  progress_->setValue(PROGRESS_EMPTY);
  progress_->setTextVisible(false);
  progress_->setAccessibleName(Text(TEXT_PROGRESS_NAME));

  upload_ = new QPushButton(Text(TEXT_UPLOAD));
  upload_->setObjectName("upload");
  upload_->setAccessibleName(Text(TEXT_UPLOAD));
  upload_->setEnabled(false);
  upload_->setAutoDefault(false);
  close_ = new QPushButton(Text(TEXT_CLOSE));
  close_->setObjectName("close");
  close_->setAccessibleName(Text(TEXT_CLOSE));
  close_->setDefault(true);
  connect(upload_, &QPushButton::clicked, this, [this] { session_->Command(CONTROL_UPLOAD); });
  connect(close_, &QPushButton::clicked, this, [this] { session_->Command(CONTROL_CLOSE); });

  auto* left = new QVBoxLayout;
  left->addWidget(frame_, 1);
  left->addWidget(progress_);
  auto* right = new QVBoxLayout;
  right->addWidget(upload_);
  right->addWidget(close_);
  right->addStretch(1);
  auto* whole = new QHBoxLayout(this);
  whole->addLayout(left, 1);
  whole->addLayout(right);
  whole->setSizeConstraint(QLayout::SetMinimumSize);
  // Tab order as the dialog's: Close, then Upload.
  setTabOrder(close_, upload_);
}

void UploaderWindow::Start() { Begin(); }

void UploaderWindow::Begin() {
  session_.reset();
  phase_ = {};
  view_ = std::make_unique<DesktopView>();
  DesktopView* view = view_.get();
  view->OnPhase([this](const UpdateState& state) { EnterPhase(state); });
  // Every connection lives as long as this view: a step still queued for a
  // replaced run is dropped with it.
  connect(view, &DesktopView::MessageShown, view,
          [this](const QString& text) { ShowMessageText(text); });
  connect(view, &DesktopView::ControlEnabled, view,
          [this](int control, bool enabled) { EnableControl(control, enabled); });
  connect(view, &DesktopView::ControlFocused, view, [this](int control) { FocusControl(control); });
  connect(view, &DesktopView::CursorSet, view, [this](int cursor) {
    if (cursor == CURSOR_WAIT) {
      setCursor(Qt::WaitCursor);
    } else {
      unsetCursor();
    }
  });
  connect(view, &DesktopView::ProgressSet, view,
          [this](int position) { progress_->setValue(position); });
  connect(
      view, &DesktopView::StepPosted, view, [this](int step) { RunStep(step); },
      Qt::QueuedConnection);
  connect(view, &DesktopView::Closed, view, [this] { Finish(); });
  // The camera step reports what it read after it offered Upload.
  connect(view, &DesktopView::FactsReported, view, [this] {
    if (phase_.phase == UpdatePhase::READY) ShowWarnings();
  });

  detail_->clear();
  detail_->hide();
  ports_label_->hide();
  ports_->hide();
  progress_->setValue(PROGRESS_EMPTY);
  ChooseDevices(options_);
  session_ = std::make_unique<UpdateSession>(*view_, options_);
  session_->Start();
}

void UploaderWindow::RunStep(int step_id) { session_->Command(step_id); }

void UploaderWindow::EnterPhase(const UpdateState& state) {
  phase_ = state;
  if (state.phase == UpdatePhase::TRANSFERRING) upload_started_ = true;
  if (state.phase == UpdatePhase::ENDED) ShowEnd();
}

// What the user should know before pressing Upload, as the command line
// warns of it: an unknown or empty battery, an image not newer than the camera's.
void UploaderWindow::ShowWarnings() {
  std::string lines;
  for (const std::string& warning : session_->Warnings()) {
    lines += (lines.empty() ? "" : "\n") + warning;
  }
  detail_->setText(Text(lines));
  detail_->setVisible(!lines.empty());
  FitContents();
}

// A signal asks the session's rules what to do: end before the transfer,
// cancel it while that still holds, else wait for the camera's word.
void UploaderWindow::ActOnSignal() {
  if (!session_ || closed_) return;
  const SignalAction action = session_->ActOnSignal();
  if (!action.note.empty()) {
    detail_->setText(Text(action.note));
    detail_->show();
    FitContents();
  }
  if (session_->EndsWithChain() && session_->ChainEnded() && !closed_) {
    session_->Command(CONTROL_CLOSE);
  }
}

void UploaderWindow::ShowMessageText(const QString& text) {
  message_->setText(text);
  message_->setAccessibleName(text);
  QAccessibleEvent changed(message_, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&changed);
  // The camera steps hold the event loop after their start message.
  message_->repaint();
}

QPushButton* UploaderWindow::Button(int control_id) const {
  if (control_id == CONTROL_UPLOAD) return upload_;
  if (control_id == CONTROL_CLOSE) return close_;
  return nullptr;
}

void UploaderWindow::EnableControl(int control_id, bool enabled) {
  if (QPushButton* button = Button(control_id)) button->setEnabled(enabled);
}

void UploaderWindow::FocusControl(int control_id) {
  if (QPushButton* button = Button(control_id)) button->setFocus();
}

bool UploaderWindow::WaitsForUser() const {
  return phase_.phase == UpdatePhase::READY || phase_.phase == UpdatePhase::ENDED;
}

bool UploaderWindow::BeforeUpload() const { return WaitsForUser() && !upload_started_; }

// Once the chain has ended: what the command line would say after the
// message, and the serial ports to try when the storage pipe had no camera.
void UploaderWindow::ShowEnd() {
  if (closed_) return;
  const DialogFacts facts = view_->Facts();
  verdict_ = session_->Judge();
  std::string detail = verdict_.detail;
  if (const std::string advice = NoCameraAdvice(verdict_, options_); !advice.empty()) {
    detail += (detail.empty() ? "" : "\n") + advice;
  }
  detail_->setText(Text(detail));
  detail_->setVisible(!detail.empty());
  const bool offer_ports =
      facts.failed_step == STEP_CONNECT && !ports_named_ && !serial_ports_.empty();
  ports_label_->setVisible(offer_ports);
  ports_->setVisible(offer_ports);
  FitContents();
}

// Wrapped text needs more height the narrower it is; a top-level layout does
// not grow the window for it by itself.
void UploaderWindow::FitContents() {
  layout()->activate();
  const int needed = layout()->totalHeightForWidth(width());
  if (needed > height()) resize(width(), needed);
}

void UploaderWindow::ChoosePort(QListWidgetItem* item) {
  if (item == nullptr || phase_.phase != UpdatePhase::ENDED) return;
  options_.ports = {item->text().toStdString()};
  Begin();
}

void UploaderWindow::Finish() {
  if (closed_) return;
  verdict_ = session_->Judge();
  closed_ = true;
  done(verdict_.exit_status);
}

void UploaderWindow::closeEvent(QCloseEvent* event) {
  // As the Win32 dialog: a close request is Close while Close is enabled,
  // and refused while it is not.
  if (!closed_ && close_->isEnabled()) close_->click();
  if (closed_) {
    event->accept();
  } else {
    event->ignore();
  }
}

void UploaderWindow::reject() {
  if (close_->isEnabled()) close_->click();
}

void UploaderWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (BeforeUpload() && !DroppedFile(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void UploaderWindow::dropEvent(QDropEvent* event) {
  const QString file = DroppedFile(event->mimeData());
  if (file.isEmpty() || !BeforeUpload()) return;
  event->acceptProposedAction();
  options_.image = file.toStdString();
  Begin();
}

}  // namespace pelox
