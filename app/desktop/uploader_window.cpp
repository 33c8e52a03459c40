#include "app/desktop/uploader_window.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/desktop/desktop_texts.h"
#include "app/desktop/image_chooser.h"
#include "app/dialog_ids.h"
#include "app/resources/strings.h"
#include "app/session/device_choice.h"
#include "app/session/image_report.h"
#include "link/link_info.h"
#include "platform/clock.h"
#include "platform/serial_map.h"
#include "transport/discovery/device_table.h"

namespace pelox {
namespace {

// The message line holds two lines of text at the least.
constexpr int MESSAGE_LINES = 2;
// About as wide as the longest message split in two.
constexpr int MESSAGE_WIDTH_CHARACTERS = 44;
// The serial port list shows this many rows before it scrolls.
constexpr int PORT_ROWS_SHOWN = 4;
// Signals and a silent camera are looked at this often.
constexpr int WATCH_MS = 200;
// A transfer without an acknowledged frame for this long is said to have stalled.
constexpr uint32_t STALL_NOTE_MS = 3000;

UploaderWindow* live_window = nullptr;
QtMessageHandler earlier_handler = nullptr;

QString Text(const std::string& text) { return QString::fromStdString(text); }
QString Plain(const char* text) { return QString::fromUtf8(text).remove(QLatin1Char('&')); }
QString StringOf(int32_t string_id) {
  const std::string_view text = StringText(string_id);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The one local file of a drag, if that is what it carries.
QString DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().front();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

// Words wider than the message line (a long file name) lose their middle.
QString ElideLongWords(const QString& text, const QFontMetrics& metrics, int width) {
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& line : lines) {
    QStringList words = line.split(QLatin1Char(' '));
    for (QString& word : words) {
      if (metrics.horizontalAdvance(word) > width) word = metrics.elidedText(word, Qt::ElideMiddle, width);
    }
    line = words.join(QLatin1Char(' '));
  }
  return lines.join(QLatin1Char('\n'));
}

// The first remedy the window offers as its button: a port is named by
// choosing it in the list, which the window shows on its own.
std::optional<Remedy> ButtonRemedy(const Verdict& verdict) {
  for (const Remedy remedy : verdict.advice) {
    if (remedy != Remedy::NAME_PORT) return remedy;
  }
  return std::nullopt;
}

// Where the camera answered, as a user names it.
std::string PortOf(const DialogFacts& facts, const UploaderOptions& options) {
  if (facts.port_type == PORT_TYPE_STORAGE) {
    const CameraDevice* found = DeviceTableEntry(facts.device_index);
    return !options.device.empty() ? options.device : found != nullptr ? found->path : "USB";
  }
  return SerialDevicePath(facts.port_type);
}

void HandOverAtExit() {
  if (live_window != nullptr) UploaderWindow::GoOnWithoutWindow("the program is ending");
}

// A broken display ends the toolkit: on X11 with this warning and then
// exit(), on Wayland with a fatal message. Either way the run is handed
// over before anything is torn down.
bool DisplayLost(QtMsgType type, const QString& text) {
  return type == QtFatalMsg || text.startsWith(QLatin1String("The X11 connection broke"));
}

void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (earlier_handler != nullptr) earlier_handler(type, context, text);
  if (live_window != nullptr && DisplayLost(type, text)) {
    UploaderWindow::GoOnWithoutWindow("the display connection was lost");
  }
}

void HandOverWhenTheDisplayGoes() {
  static const QtMessageHandler installed = [] {
    earlier_handler = qInstallMessageHandler(&OnQtMessage);
    return earlier_handler;
  }();
  (void)installed;
}

// Any other exit while a transfer or write may run waits for the verdict
// too. Registered once the link's own statics exist, so that it runs
// before they are destroyed.
void HandOverAtAnyExit() {
  static const bool registered = std::atexit(&HandOverAtExit) == 0;
  (void)registered;
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
  watch_timer_ = new QTimer(this);
  connect(watch_timer_, &QTimer::timeout, this, [this] {
    if (session_) session_->PassOnPendingSignal();
    WatchStall();
  });
  watch_timer_->start(WATCH_MS);
  live_window = this;
  HandOverWhenTheDisplayGoes();
}

UploaderWindow::~UploaderWindow() {
  if (live_window == this) live_window = nullptr;
  version_check_.reset();
  session_.reset();
}

void UploaderWindow::BuildControls() {
  setWindowTitle(Plain(TEXT_CAPTION));
  setWindowIcon(QIcon::fromTheme(Plain(ICON_NAME)));

  message_ = new QLabel;
  message_->setObjectName("message");
  message_->setWordWrap(true);
  message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  message_->setAccessibleName(Plain(TEXT_MESSAGE_NAME));
  message_->setMinimumWidth(message_->fontMetrics().averageCharWidth() * MESSAGE_WIDTH_CHARACTERS);
  message_->setMinimumHeight(message_->fontMetrics().lineSpacing() * MESSAGE_LINES);

  detail_ = new QLabel;
  detail_->setObjectName("detail");
  detail_->setWordWrap(true);
  detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  detail_->hide();

  ports_label_ = new QLabel(Plain(TEXT_PORTS_LABEL));
  ports_label_->setObjectName("ports-label");
  ports_label_->setWordWrap(true);
  ports_ = new QListWidget;
  ports_->setObjectName("ports");
  ports_->setAccessibleName(Plain(TEXT_PORTS_NAME));
  ports_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ports_->installEventFilter(this);
  ports_label_->setBuddy(ports_);
  for (const std::string& port : serial_ports_) ports_->addItem(Text(port));
  if (!serial_ports_.empty()) {
    const int rows = std::min(static_cast<int>(serial_ports_.size()), PORT_ROWS_SHOWN);
    ports_->setFixedHeight(ports_->sizeHintForRow(0) * rows + 2 * ports_->frameWidth());
    ports_->setCurrentRow(0);
  }
  ports_label_->hide();
  ports_->hide();
  // A click only selects; Enter or a double click chooses.
  connect(ports_, &QListWidget::itemActivated, this, &UploaderWindow::ChoosePort);

  frame_ = new QFrame;
  frame_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* inside = new QVBoxLayout(frame_);
  inside->addWidget(message_);
  inside->addWidget(detail_);
  inside->addWidget(ports_label_);
  inside->addWidget(ports_);
  inside->addStretch(1);

  status_ = new QLabel;
  status_->setObjectName("status");
  status_->setWordWrap(true);
  status_->hide();
  progress_ = new QProgressBar;
  progress_->setObjectName("progress");
  progress_->setRange(PROGRESS_EMPTY, PROGRESS_FULL);
  progress_->setValue(PROGRESS_EMPTY);
  progress_->setTextVisible(false);
  progress_->setAccessibleName(Plain(TEXT_PROGRESS_NAME));

  const auto make_button = [](const char* text, const char* name) {
    auto* button = new QPushButton(QString::fromUtf8(text));
    button->setObjectName(name);
    button->setAccessibleName(Plain(text));
    button->setAutoDefault(true);  // Enter presses the button that has the focus
    return button;
  };
  upload_ = make_button(TEXT_UPLOAD, "upload");
  upload_->setEnabled(false);
  close_ = make_button(TEXT_CLOSE, "close");
  close_->setDefault(true);
  cancel_ = make_button(TEXT_CANCEL, "cancel");
  cancel_->hide();
  remedy_ = make_button(TEXT_CHECK_AGAIN, "remedy");
  remedy_->hide();
  connect(upload_, &QPushButton::clicked, this, [this] {
    if (session_) session_->Command(CONTROL_UPLOAD);
  });
  connect(close_, &QPushButton::clicked, this, &UploaderWindow::CloseOrCancel);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    if (session_ && session_->Cancel() && phase_.phase == UpdatePhase::TRANSFERRING) {
      cancel_->setEnabled(false);
    }
  });
  connect(remedy_, &QPushButton::clicked, this, &UploaderWindow::ApplyRemedy);

  auto* left = new QVBoxLayout;
  left->addWidget(frame_, 1);
  left->addWidget(status_);
  left->addWidget(progress_);
  auto* right = new QVBoxLayout;
  right->addWidget(upload_);
  right->addWidget(close_);
  right->addWidget(cancel_);
  right->addWidget(remedy_);
  right->addStretch(1);
  auto* whole = new QHBoxLayout(this);
  whole->addLayout(left, 1);
  whole->addLayout(right);
  whole->setSizeConstraint(QLayout::SetMinimumSize);
  // Tab order as the dialog's: Close, then Upload.
  setTabOrder(close_, upload_);
  setTabOrder(upload_, cancel_);
  setTabOrder(cancel_, remedy_);
  close_->setFocus();
}

void UploaderWindow::Start() { Begin(); }

void UploaderWindow::Begin() {
  version_check_.reset();
  session_.reset();
  image_refused_.reset();
  settled_.reset();
  ended_facts_ = {};
  phase_ = {};
  OfferRemedy(std::nullopt);
  ShowDetail({});
  ports_label_->hide();
  ports_->hide();
  ChooseDevices(options_);
  // The image first, as the command line: a bad one never waits for a camera.
  if (std::optional<ImageRefusal> refusal =
          RefuseImageFirst(CheckImageFirst(options_.image), options_)) {
    return RefuseImage(*refusal);
  }

  session_ = std::make_unique<SessionThread>(
      options_,
      [](void* user, const LinkEvent& event) {
        if (event.kind == LinkEventKind::BYTES_ACKNOWLEDGED) {
          static_cast<UploaderWindow*>(user)->last_acknowledged_ms_ = ClockTickCount();
        }
      },
      this);
  SessionThread* session = session_.get();
  DesktopView* view = &session->View();
  // Every connection lives as long as this run: what a replaced run still
  // had queued is dropped with it.
  connect(view, &DesktopView::MessageShown, view,
          [this](const QString& text) { ShowMessageText(text); });
  connect(view, &DesktopView::ControlEnabled, view,
          [this](int control, bool enabled) { EnableControl(control, enabled); });
  connect(view, &DesktopView::ControlFocused, view, [this](int control) { FocusControl(control); });
  connect(view, &DesktopView::CursorSet, view, [this](int cursor) {
    if (cursor == CURSOR_WAIT) {
      setCursor(Qt::BusyCursor);
    } else {
      unsetCursor();
    }
  });
  connect(view, &DesktopView::ProgressSet, view, [this](int position) { ShowProgress(position); });
  connect(view, &DesktopView::Closed, view, [this] { Finish(); });
  // The camera step reports what it read after it offered Upload.
  connect(view, &DesktopView::FactsReported, view, [this] {
    if (phase_.phase == UpdatePhase::READY) ShowReady();
  });
  connect(session, &SessionThread::PhaseEntered, view,
          [this](const UpdateState& state) { EnterPhase(state); });
  connect(session, &SessionThread::SignalNoted, view, [this](const QString& note) { ShowDetail(note); });
  session->Start();
}

void UploaderWindow::RefuseImage(const ImageRefusal& refusal) {
  image_refused_ = refusal;
  phase_ = {UpdatePhase::ENDED, RunCause::IMAGE_REFUSED};
  ShowMessageText(StringOf(refusal.message_id));
  verdict_ = refusal.verdict;
  upload_->setEnabled(false);
  close_->setEnabled(true);
  progress_->setRange(PROGRESS_EMPTY, PROGRESS_FULL);
  progress_->setValue(PROGRESS_EMPTY);
  ShowStatus({});
  cancel_->hide();
  unsetCursor();
  ShowDetail(Text(verdict_.detail));
  OfferRemedy(Remedy::CHOOSE_IMAGE);
  close_->setFocus();
}

void UploaderWindow::EnterPhase(const UpdateState& state) {
  phase_ = state;
  const bool transferring = state.phase == UpdatePhase::TRANSFERRING;
  const bool busy = state.phase == UpdatePhase::SEARCHING ||
                    state.phase == UpdatePhase::CHECKING_IMAGE ||
                    state.phase == UpdatePhase::CHECKING_CAMERA || state.phase == UpdatePhase::WRITING;
  // Qt's busy bar while nothing can be counted; the animator's blinking is ignored.
  progress_->setRange(PROGRESS_EMPTY, busy ? PROGRESS_EMPTY : PROGRESS_FULL);
  progress_->setValue(PROGRESS_EMPTY);
  cancel_->setVisible((busy && state.phase != UpdatePhase::WRITING) || transferring);
  cancel_->setEnabled(true);
  switch (state.phase) {
    case UpdatePhase::SEARCHING: ShowStatus(Plain(TEXT_SEARCHING)); break;
    case UpdatePhase::CHECKING_IMAGE: ShowStatus(Plain(TEXT_CHECKING_IMAGE)); break;
    case UpdatePhase::CHECKING_CAMERA: ShowStatus(Plain(TEXT_CHECKING_CAMERA)); break;
    case UpdatePhase::TRANSFERRING:
      HandOverAtAnyExit();
      upload_started_ = true;
      last_acknowledged_ms_ = ClockTickCount();
      ShowProgress(PROGRESS_EMPTY);
      break;
    case UpdatePhase::WRITING: ShowStatus(Plain(TEXT_WRITING)); break;
    case UpdatePhase::READY:
    case UpdatePhase::ENDED: ShowStatus({}); break;
  }
  if (state.phase == UpdatePhase::ENDED) ShowEnd();
  KeepFocusUsable();
}

void UploaderWindow::ShowProgress(int position) {
  if (phase_.phase != UpdatePhase::TRANSFERRING) return;
  progress_->setValue(position);
  ShowStatus(Plain(TEXT_TRANSFERRING).arg(position));
}

void UploaderWindow::WatchStall() {
  if (phase_.phase != UpdatePhase::TRANSFERRING || !cancel_->isEnabled()) return;
  if (ClockTickCount() - last_acknowledged_ms_ >= STALL_NOTE_MS) ShowStatus(Plain(TEXT_STALLED));
}

// What the user should know before pressing Upload: the camera found, the
// versions, and what the command line warns of.
void UploaderWindow::ShowReady() {
  const DialogFacts facts = session_->Session().Facts();
  version_before_ = facts.camera_version;
  QStringList lines{
      Plain(TEXT_CAMERA_FOUND).arg(Text(facts.maker), Text(PortOf(facts, options_))),
      Plain(TEXT_VERSIONS).arg(Text(facts.camera_version), Text(facts.image_version))};
  for (const std::string& warning : session_->Session().Warnings()) {
    lines.append(Text(warning));
  }
  ShowDetail(lines.join(QLatin1Char('\n')));
}

// Once the chain has ended: what the command line would say after the
// message, the remedy, and the serial ports when the storage pipe had no camera.
void UploaderWindow::ShowEnd() {
  if (closed_) return;
  const DialogFacts facts = session_->Session().Facts();
  verdict_ = Judge();
  std::string detail = verdict_.detail;
  if (const std::string advice = NoCameraAdvice(verdict_, options_); !advice.empty()) {
    detail += (detail.empty() ? "" : "\n") + advice;
  }
  ShowDetail(Text(detail));
  const bool offer_ports =
      facts.failed_step == STEP_CONNECT && !ports_named_ && !serial_ports_.empty();
  ports_label_->setVisible(offer_ports);
  ports_->setVisible(offer_ports);
  OfferRemedy(ButtonRemedy(verdict_));
  FitContents();
  if (headless_) return CloseOrCancel();
  // Once this slot is over: the check needs the run's link released.
  if (verdict_.cause == RunCause::WRITTEN) QTimer::singleShot(0, this, &UploaderWindow::CheckVersion);
}

void UploaderWindow::OfferRemedy(std::optional<Remedy> remedy) {
  remedy_kind_ = remedy;
  const char* text = remedy == Remedy::INSTALL_ANYWAY  ? TEXT_INSTALL_ANYWAY
                     : remedy == Remedy::INSTALL_OLDER ? TEXT_INSTALL_OLDER
                     : remedy == Remedy::CHOOSE_IMAGE  ? TEXT_CHOOSE_IMAGE_BUTTON
                                                       : TEXT_CHECK_AGAIN;
  remedy_->setText(QString::fromUtf8(text));
  remedy_->setAccessibleName(Plain(text));
  remedy_->setVisible(remedy.has_value());
  remedy_->setEnabled(true);
}

void UploaderWindow::ApplyRemedy() {
  const DialogFacts facts = session_ ? session_->Session().Facts() : ended_facts_;
  const QString camera = Text(facts.camera_version);
  const QString image = Text(facts.image_version);
  if (!remedy_kind_) return;
  switch (*remedy_kind_) {
    case Remedy::INSTALL_ANYWAY: return ConfirmInstall(Plain(TEXT_CONFIRM_SAME).arg(camera, image), false);
    case Remedy::INSTALL_OLDER: return ConfirmInstall(Plain(TEXT_CONFIRM_OLDER).arg(camera, image), true);
    case Remedy::CHECK_AGAIN:
      upload_started_ = false;  // nothing was written: the update may be tried again
      return Begin();
    case Remedy::CHECK_VERSION: return CheckVersion();
    case Remedy::NAME_PORT: return;
    case Remedy::CHOOSE_IMAGE: {
      const QString chosen = AskForImage(this, QString());
      if (chosen.isEmpty()) return;
      options_.image = chosen.toStdString();
      return Begin();
    }
  }
}

void UploaderWindow::ConfirmInstall(const QString& question, bool older) {
  auto* box = new QMessageBox(QMessageBox::Question, Plain(TEXT_CAPTION), question,
                              QMessageBox::Yes | QMessageBox::No, this);
  box->setObjectName("confirm");
  box->setDefaultButton(QMessageBox::No);
  box->setAttribute(Qt::WA_DeleteOnClose);
  connect(box, &QMessageBox::finished, this, [this, older](int answer) {
    if (answer != QMessageBox::Yes) return;
    (older ? options_.allow_older : options_.allow_reinstall) = true;
    Begin();
  });
  box->open();
}

// A run of its own that connects, reads the camera's version and closes.
void UploaderWindow::CheckVersion() {
  if (closed_ || closing_) return;
  if (session_) {
    // Only one link is open at a time: the run's goes, its verdict stays.
    ended_facts_ = session_->Session().Facts();
    settled_ = Judge();
    session_.reset();
  }
  version_check_.reset();
  UploaderOptions options = options_;
  options.allow_reinstall = options.allow_older = true;
  version_check_ = std::make_unique<SessionThread>(options, nullptr, nullptr);
  SessionThread* check = version_check_.get();
  remedy_->setEnabled(false);
  ShowStatus(Plain(TEXT_READING_VERSION));
  progress_->setRange(PROGRESS_EMPTY, PROGRESS_EMPTY);
  connect(check, &SessionThread::PhaseEntered, &check->View(),
          [this, check, heard = false](const UpdateState& state) mutable {
            if (heard || (state.phase != UpdatePhase::READY && state.phase != UpdatePhase::ENDED)) {
              return;
            }
            heard = true;
            check->Command(CONTROL_CLOSE);
            ReportVersion(check->Session().Facts());
          });
  check->Start();
}

// What the camera says after the write, and whether an uncertain one took:
// only a version that differs from the one before the write tells.
void UploaderWindow::ReportVersion(const DialogFacts& facts) {
  progress_->setRange(PROGRESS_EMPTY, PROGRESS_FULL);
  ShowStatus({});
  const DialogFacts& run = ended_facts_;
  const QString now = Text(facts.camera_version);
  QString line;
  if (facts.camera_version.empty()) {
    line = Plain(TEXT_VERSION_UNREAD);
  } else if (verdict_.cause == RunCause::WRITTEN) {
    line = Plain(TEXT_NOW_REPORTS).arg(now);
  } else if (facts.camera_version == version_before_) {
    line = Plain(run.image_version == version_before_ ? TEXT_UPDATE_UNKNOWN : TEXT_UPDATE_NOT_TAKEN)
               .arg(now);
    if (run.image_version != version_before_) {
      settled_ = Verdict(RunCause::WRITE_FAILED, line.toStdString());
    }
  } else if (facts.camera_version == run.image_version) {
    line = Plain(TEXT_UPDATE_TOOK).arg(now);
    settled_ = Verdict(RunCause::WRITTEN, line.toStdString());
  } else {
    line = Plain(TEXT_UPDATE_UNKNOWN).arg(now);
  }
  const bool changed = verdict_.cause != settled_->cause;
  verdict_ = *settled_;
  OfferRemedy(ButtonRemedy(verdict_));
  // An uncertain write now decided says only that; else the line is added.
  QString shown = changed ? QString() : detail_->accessibleDescription();
  shown += (shown.isEmpty() ? "" : "\n") + line;
  ShowDetail(shown);
  FocusControl(CONTROL_CLOSE);
}

void UploaderWindow::ShowMessageText(const QString& text) { Announce(message_, text, text); }

void UploaderWindow::ShowDetail(const QString& text) {
  Announce(detail_, ElideLongWords(text, detail_->fontMetrics(), message_->minimumWidth()), text);
}

void UploaderWindow::ShowStatus(const QString& text) {
  if (status_->text() != text) Announce(status_, text, text);
}

// A label shows `shown` (hidden when empty, but the message line) and a
// screen reader reads it, with the whole `text` as its description.
void UploaderWindow::Announce(QLabel* label, const QString& shown, const QString& text) {
  label->setText(shown);
  label->setAccessibleName(shown);
  label->setAccessibleDescription(text);
  if (label != message_) label->setVisible(!shown.isEmpty());
  QAccessibleEvent changed(label, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&changed);
  FitContents();
}

QPushButton* UploaderWindow::Button(int control_id) const {
  if (control_id == CONTROL_UPLOAD) return upload_;
  if (control_id == CONTROL_CLOSE) return close_;
  return nullptr;
}

void UploaderWindow::EnableControl(int control_id, bool enabled) {
  QPushButton* button = Button(control_id);
  if (button == nullptr) return;
  const bool had_focus = button->hasFocus();
  button->setEnabled(enabled);
  if (had_focus && !enabled) KeepFocusUsable();
}

void UploaderWindow::FocusControl(int control_id) {
  QPushButton* wanted = Button(control_id);
  if (wanted != nullptr && wanted->isEnabled() && wanted->isVisibleTo(this)) {
    wanted->setFocus();
  } else {
    KeepFocusUsable();
  }
}

// Focus never rests on a control that cannot act: Close where it can, else
// Cancel, else the next that can.
void UploaderWindow::KeepFocusUsable() {
  const QWidget* focused = focusWidget();
  if (focused != nullptr && focused->isEnabled() && focused->isVisibleTo(this)) return;
  for (QPushButton* button : {close_, cancel_, upload_, remedy_}) {
    if (button->isEnabled() && button->isVisibleTo(this)) return button->setFocus();
  }
}

bool UploaderWindow::WaitsForUser() const {
  return phase_.phase == UpdatePhase::READY || phase_.phase == UpdatePhase::ENDED;
}

bool UploaderWindow::BeforeUpload() const { return WaitsForUser() && !upload_started_; }

// Wrapped text needs more height the narrower it is; the window follows
// what it shows, both ways, within the screen's room, once what changed
// together has been laid out.
void UploaderWindow::FitContents() {
  if (fit_pending_) return;
  fit_pending_ = true;
  QTimer::singleShot(0, this, [this] {
    fit_pending_ = false;
    FitNow();
  });
}

void UploaderWindow::FitNow() {
  const QSize room = screen() != nullptr ? screen()->availableGeometry().size() : QSize();
  if (room.isValid()) setMaximumSize(room);
  layout()->activate();
  QSize size = sizeHint().expandedTo(minimumSizeHint());
  if (room.isValid()) size = size.boundedTo(room);
  // As tall as the text needs at that width, no taller.
  size.setHeight(std::max(minimumSizeHint().height(), layout()->totalHeightForWidth(size.width())));
  if (room.isValid()) size = size.boundedTo(room);
  resize(size);
}

void UploaderWindow::ChoosePort(QListWidgetItem* item) {
  if (item == nullptr || phase_.phase != UpdatePhase::ENDED || upload_started_) return;
  options_.ports = {item->text().toStdString()};
  Begin();
}

bool UploaderWindow::eventFilter(QObject* watched, QEvent* event) {
  // Enter on the list chooses its port rather than pressing the default button.
  if (watched == ports_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      ChoosePort(ports_->currentItem());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

Verdict UploaderWindow::Judge() const {
  if (image_refused_) return image_refused_->verdict;
  if (settled_) return *settled_;
  if (!session_) return verdict_;
  const Verdict verdict = session_->Session().Judge();
  // The user's cancel before the write command is a close: nothing was written.
  const bool written = verdict.cause == RunCause::WRITTEN || verdict.cause == RunCause::WRITE_UNCERTAIN;
  if (session_->Cancelled() && !written) {
    return {RunCause::CLOSED, verdict.cause == RunCause::INTERRUPTED
                                  ? verdict.detail
                                  : "cancelled before the update; nothing was written"};
  }
  return verdict;
}

void UploaderWindow::CloseOrCancel() {
  if (closed_) return;
  if (version_check_) version_check_->Cancel();
  if (!session_) return Finish();
  const UpdatePhase phase = session_->State().phase;
  if (phase == UpdatePhase::READY || phase == UpdatePhase::ENDED) {
    // The read-back queued after a write would take the run's session away
    // before it closes.
    closing_ = true;
    session_->Command(CONTROL_CLOSE);
  } else {
    session_->Cancel();
  }
}

void UploaderWindow::Finish() {
  if (closed_) return;
  verdict_ = Judge();
  closed_ = true;
  if (headless_) {
    std::fprintf(stderr, "pelox-uploader-gui: %s%s%s\n", message_->text().toUtf8().constData(),
                 verdict_.detail.empty() ? "" : ": ", verdict_.detail.c_str());
  }
  done(verdict_.exit_status);
}

void UploaderWindow::GoOnWithoutWindow(const char* why) {
  static std::atomic<bool> going{false};
  if (going.exchange(true)) {
    for (;;) ClockSleep(WATCH_MS);  // the first caller ends the process
  }
  UploaderWindow* window = live_window;
  const bool writing = window->session_ && window->session_->State().write_may_have_left;
  std::fprintf(stderr, "pelox-uploader-gui: %s; %s\n", why,
               writing ? "the camera may be writing: waiting for its word"
                       : "cancelling: nothing is written");
  std::fflush(stderr);
  if (window->session_) window->session_->CloseAfterVerdict();
  const Verdict verdict = window->Judge();
  std::fprintf(stderr, "pelox-uploader-gui: %s%s%s\n", std::string(RunCauseText(verdict.cause)).c_str(),
               verdict.detail.empty() ? "" : ": ", verdict.detail.c_str());
  std::fflush(stderr);
  std::_Exit(verdict.exit_status);
}

void UploaderWindow::closeEvent(QCloseEvent* event) {
  // As the Win32 dialog: a close request is Close while Close is enabled,
  // and refused while it is not.
  if (!closed_ && close_->isEnabled()) CloseOrCancel();
  if (closed_) return event->accept();
  event->ignore();
  // Another client destroyed the window: the run goes on without it and
  // ends with the verdict.
  const QWindow* native = windowHandle();
  if (headless_ || (native != nullptr && native->handle() != nullptr && native->winId() != 0)) return;
  headless_ = true;
  std::fprintf(stderr, "pelox-uploader-gui: the window is gone; %s\n",
               phase_.write_may_have_left ? "the camera may be writing: waiting for its word"
                                          : "cancelling: nothing is written");
  if (phase_.phase == UpdatePhase::ENDED) return CloseOrCancel();
  if (session_) session_->Cancel();
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
