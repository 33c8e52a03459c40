// The desktop window against camsim over a pseudo-terminal, driven as a user
// would on Qt's offscreen platform. Each state's window is saved as a PNG
// and its layout checked: no control overlaps another, no text is cut.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "app/desktop/uploader_window.h"
#include "tests/app/firmware_files.h"
#include "tests/system/camsim_process.h"
#include "tools/firmware_sample.h"

namespace pelox {
namespace {

constexpr int CHAIN_MS = 20000;
constexpr const char* NO_DEVICE = "/nonexistent/pelox-com";
// The flash wait's minute, its pause and a poll, with room for a loaded machine.
constexpr int FLASH_WAIT_BOUND_MS = 75000;
// Runs the window alone in this process: ports, image; presses Upload and
// says "writing" once the camera may be writing.
constexpr const char* WINDOW_CHILD = "--window-child";

int RunWindowChild(const std::string& port, const std::string& image) {
  UploaderOptions options;
  options.ports = {port};
  options.image = image;
  UploaderWindow window(options, {});
  window.show();
  window.Start();
  QTimer poll;
  bool said = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* upload = window.findChild<QPushButton*>("upload");
    if (upload->isEnabled()) upload->click();
    const bool writing = window.findChild<QLabel*>("message")->text().startsWith("Writing Firmware...");
    if (writing && !said) {
      said = true;
      std::printf("writing\n");
      std::fflush(stdout);
    }
  });
  poll.start(50);
  window.exec();
  return window.ExitStatus();
}

// The scale the run checks, from the environment that ctest sets.
int Scale() { return qEnvironmentVariableIntValue("PELOX_TEST_SCALE") > 1 ? 2 : 1; }

QRect InWindow(const QWidget* widget) {
  return {widget->mapTo(widget->window(), QPoint(0, 0)), widget->size()};
}

// What a user can see of the window: its labels, buttons, bar and list.
QList<QWidget*> Controls(QWidget* window) {
  QList<QWidget*> controls;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    const bool control = qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget) ||
                         qobject_cast<QProgressBar*>(widget) || qobject_cast<QListWidget*>(widget);
    if (control && widget->isVisible()) controls.append(widget);
  }
  return controls;
}

// Whether a control shows all of its text in the room it has.
bool ShowsItAll(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget); label && label->wordWrap()) {
    return label->heightForWidth(label->width()) <= label->height();
  }
  // A list scrolls; its rows must show whole across its width.
  if (auto* list = qobject_cast<QListWidget*>(widget)) {
    for (int row = 0; row < list->count(); ++row) {
      const QRect item = list->visualItemRect(list->item(row));
      if (item.width() < list->sizeHintForColumn(0)) return false;
    }
    return true;
  }
  const QSize needed = widget->minimumSizeHint();
  return needed.width() <= widget->width() && needed.height() <= widget->height();
}

void CheckLayout(QWidget* window, const QString& state) {
  const QList<QWidget*> controls = Controls(window);
  QVERIFY2(!controls.isEmpty(), qPrintable(state));
  for (qsizetype i = 0; i < controls.size(); ++i) {
    const QRect rect = InWindow(controls[i]);
    QVERIFY2(window->rect().contains(rect),
             qPrintable(state + ": outside the window: " + controls[i]->objectName()));
    QVERIFY2(ShowsItAll(controls[i]),
             qPrintable(state + ": text cut in " + controls[i]->objectName() + " \"" +
                        controls[i]->accessibleName() + "\""));
    QVERIFY2(qobject_cast<QLabel*>(controls[i]) || !controls[i]->accessibleName().isEmpty(),
             qPrintable(state + ": no accessible name for " + controls[i]->objectName()));
    for (qsizetype j = i + 1; j < controls.size(); ++j) {
      QVERIFY2(!rect.intersects(InWindow(controls[j])),
               qPrintable(state + ": " + controls[i]->objectName() + " overlaps " +
                          controls[j]->objectName()));
    }
  }
}

// Saves the window as it shows, then checks its layout.
void Grab(QWidget* window, const QString& state) {
  QTest::qWait(50);
  const QString folder = QStringLiteral(SHOTS_DIR);
  std::filesystem::create_directories(folder.toStdString());
  const QString file = folder + "/" + state + "-" + QString::number(Scale() * 100) + ".png";
  QVERIFY(window->grab().save(file));
  CheckLayout(window, state);
}

QString Message(QWidget* window) { return window->findChild<QLabel*>("message")->text(); }
QString Detail(QWidget* window) { return window->findChild<QLabel*>("detail")->text(); }
QPushButton* Button(QWidget* window, const char* name) {
  return window->findChild<QPushButton*>(name);
}

}  // namespace

class DesktopWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::ScratchDirectory> scratch_;

  std::string WriteImage(const std::string& version, const std::string& name = "Firmware.bin") {
    const std::filesystem::path path = scratch_->Path() / name;
    test::WriteFile(path, SampleFirmwareImage(version, SamplePayload(20000)));
    return path.string();
  }
  static UploaderOptions On(const std::string& port, const std::string& image) {
    UploaderOptions options;
    options.ports = {port};
    options.image = image;
    return options;
  }

 private slots:
  void init() { scratch_ = std::make_unique<test::ScratchDirectory>(); }
  void cleanup() { scratch_.reset(); }

  // The camera is refused or the image is not newer: one message, Upload
  // never offered, the verdict below the message and the status at Close.
  void EndsWithoutUpload_data() {
    QTest::addColumn<QString>("camera");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<int>("status");
    QTest::newRow("battery") << "--battery 30"
                             << "Batteries are too low to start the update."
                             << "the battery level is 30, below the 50" << 5;
    QTest::newRow("other-maker")
        << "--maker OTHERCAM"
        << "There is a problem with your camera, please contact Pelox Service."
        << "the camera's maker is \"OTHERCAM\"" << 5;
    QTest::newRow("not-newer") << "--firmware-version v517-1.10"
                               << "Firmware is not correct."
                               << "the camera already has v517-1.10" << 6;
  }
  void EndsWithoutUpload() {
    QFETCH(QString, camera);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    QFETCH(int, status);
    Camsim camsim(camera.toStdString());
    UploaderWindow window(On(camsim.Path(), WriteImage("v517-1.10")), {});
    window.show();
    window.Start();
    QTRY_VERIFY_WITH_TIMEOUT(window.WaitsForUser(), CHAIN_MS);
    QCOMPARE(Message(&window), message);
    QVERIFY(!Button(&window, "upload")->isEnabled());
    QVERIFY(window.findChild<QLabel*>("detail")->text().contains(detail));
    Grab(&window, QTest::currentDataTag());
    QTest::mouseClick(Button(&window, "close"), Qt::LeftButton);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.ExitStatus(), status);
  }

  // Upload, the write during which a close request is refused, the end.
  void WritesTheFirmware() {
    // A camera that reports an empty battery is written, with a warning.
    Camsim camsim("--flash-busy-ms 800 --battery 0");
    UploaderWindow window(On(camsim.Path(), WriteImage("v517-1.10")), {});
    window.show();
    window.Start();
    QTRY_VERIFY_WITH_TIMEOUT(Button(&window, "upload")->isEnabled(), CHAIN_MS);
    QCOMPARE(Message(&window), QString("Click \"Upload\" button to start the update."));
    QVERIFY(window.findChild<QLabel*>("detail")->text().contains("battery level of 0"));
    QVERIFY(Detail(&window).contains("version v517-1.00 → version v517-1.10"));
    Grab(&window, "ready");
    // Close has the focus; Tab reaches Upload and Enter presses it.
    QVERIFY(Button(&window, "close")->hasFocus());
    QTest::keyClick(&window, Qt::Key_Tab);
    QVERIFY(Button(&window, "upload")->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(Message(&window).startsWith("Writing Firmware..."), CHAIN_MS);
    QVERIFY(!Button(&window, "close")->isEnabled());
    window.close();
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(window.isVisible());
    Grab(&window, "writing");
    QTRY_VERIFY2_WITH_TIMEOUT(Button(&window, "close")->isEnabled(), qPrintable(Message(&window)),
                              CHAIN_MS);
    QCOMPARE(Message(&window), QString("Writing Firmware is complete."));
    QCOMPARE(window.findChild<QProgressBar*>("progress")->value(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(Detail(&window).contains("now reports version v517-1.10"), CHAIN_MS);
    Grab(&window, "written");
    window.close();
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.ExitStatus(), 0);
  }

  // The window answers while the steps wait on the camera, and Cancel ends
  // the search at once.
  void AnswersWhileTheCameraIsSlow_data() {
    QTest::addColumn<QString>("camera");
    QTest::addColumn<QString>("phase");
    QTest::newRow("silent-port") << "--fault mute=15000" << "Looking for the camera…";
    QTest::newRow("slow-camera") << "--fault delay=700@get*4" << "Checking the camera…";
  }
  void AnswersWhileTheCameraIsSlow() {
    QFETCH(QString, camera);
    QFETCH(QString, phase);
    Camsim camsim(camera.toStdString());
    UploaderWindow window(On(camsim.Path(), WriteImage("v517-1.10")), {});
    window.show();
    window.Start();
    auto* status = window.findChild<QLabel*>("status");
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), phase, CHAIN_MS);
    for (int turn = 0; turn < 5; ++turn) {
      QElapsedTimer queued;
      queued.start();
      bool ran = false;
      QTimer::singleShot(0, &window, [&ran] { ran = true; });
      QTRY_VERIFY_WITH_TIMEOUT(ran, 1000);
      QVERIFY2(queued.elapsed() < 100, qPrintable(QString::number(queued.elapsed())));
    }
    QVERIFY(Button(&window, "cancel")->isVisible());
    Grab(&window, QString("busy-") + QTest::currentDataTag());
    QElapsedTimer cancelled;
    cancelled.start();
    QTest::mouseClick(Button(&window, "cancel"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 3000);
    QCOMPARE(window.ExitStatus(), 8);
  }

  // The camera has the image's version: "Install anyway", confirmed, writes it.
  void InstallsAnywayOnceConfirmed() {
    Camsim camsim("--firmware-version v517-1.10 --idle-exit-ms 10000");
    UploaderWindow window(On(camsim.Path(), WriteImage("v517-1.10")), {});
    window.show();
    window.Start();
    QPushButton* remedy = Button(&window, "remedy");
    QTRY_VERIFY_WITH_TIMEOUT(remedy->isVisible(), CHAIN_MS);
    QCOMPARE(remedy->accessibleName(), QString("Install anyway"));
    QVERIFY(!Detail(&window).contains("--"));
    Grab(&window, "install-anyway");
    remedy->click();
    auto* confirm = window.findChild<QMessageBox*>("confirm");
    QVERIFY(confirm != nullptr);
    QVERIFY(confirm->text().contains("already has version v517-1.10"));
    confirm->button(QMessageBox::Yes)->click();
    QTRY_VERIFY2_WITH_TIMEOUT(Button(&window, "upload")->isEnabled(), qPrintable(Message(&window) + Detail(&window)), CHAIN_MS);
    Button(&window, "upload")->click();
    QTRY_COMPARE_WITH_TIMEOUT(Message(&window), QString("Writing Firmware is complete."), CHAIN_MS);
    Button(&window, "close")->click();
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.ExitStatus(), 0);
  }

  // The camera is gone once asked to write: "Check again" reconnects, reads
  // its version and says what became of the update.
  void ChecksAgainAfterAnUncertainWrite() {
    Camsim camsim("--fault gone@action*1 --idle-exit-ms 10000");
    UploaderWindow window(On(camsim.Path(), WriteImage("v517-1.10")), {});
    window.show();
    window.Start();
    QTRY_VERIFY_WITH_TIMEOUT(Button(&window, "upload")->isEnabled(), CHAIN_MS);
    Button(&window, "upload")->click();
    QPushButton* remedy = Button(&window, "remedy");
    QTRY_VERIFY_WITH_TIMEOUT(remedy->isVisible(), CHAIN_MS);
    QCOMPARE(window.Result().exit_status, 7);
    QCOMPARE(remedy->accessibleName(), QString("Check again"));
    QVERIFY(!Detail(&window).contains("--list"));
    Grab(&window, "uncertain");
    remedy->click();
    QTRY_VERIFY_WITH_TIMEOUT(Detail(&window).contains("The camera reports version"), CHAIN_MS);
    Grab(&window, "checked-again");
    Button(&window, "close")->click();
    QTRY_VERIFY(!window.isVisible());
    QVERIFY(window.ExitStatus() == 0 || window.ExitStatus() == 1);
  }

  // The display dies while the camera writes (the X server is killed under
  // the window's own process): the process waits for the camera's word and
  // ends with it, within the flash wait's bound.
  void SurvivesItsDisplayDuringTheWrite_data() {
    QTest::addColumn<QString>("camera");
    QTest::addColumn<int>("status");
    QTest::newRow("confirmed") << "--flash-busy-ms 1500" << 0;
    QTest::newRow("unconfirmed") << "--fault gone@action" << 7;
  }
  void SurvivesItsDisplayDuringTheWrite() {
    QFETCH(QString, camera);
    QFETCH(int, status);
    const QString server = QStandardPaths::findExecutable("Xvfb");
    if (server.isEmpty()) QSKIP("no Xvfb");
    const QString display = ":" + QString::number(100 + QCoreApplication::applicationPid() % 800);
    QProcess xvfb;
    xvfb.start(server, {display, "-nolisten", "tcp"});
    QVERIFY(xvfb.waitForStarted());
    QTest::qWait(500);
    Camsim camsim(camera.toStdString() + " --idle-exit-ms 10000");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.remove("QT_SCALE_FACTOR");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {WINDOW_CHILD, QString::fromStdString(camsim.Path()),
                 QString::fromStdString(WriteImage("v517-1.10"))});
    QVERIFY(child.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine() || child.state() == QProcess::NotRunning, CHAIN_MS);
    QCOMPARE(child.readLine().trimmed(), QByteArray("writing"));
    QElapsedTimer cut;
    cut.start();
    xvfb.kill();
    xvfb.waitForFinished();
    QVERIFY(child.waitForFinished(FLASH_WAIT_BOUND_MS));
    const QByteArray said = child.readAllStandardError();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == status, said.constData());
    QVERIFY(said.contains("waiting for its word"));
    QVERIFY(cut.elapsed() < FLASH_WAIT_BOUND_MS);
  }

  // Another client destroys the window while the camera writes: the run
  // goes on and ends with the camera's verdict.
  void EndsWithTheVerdictWithoutItsWindow() {
    Camsim camsim("--flash-busy-ms 800");
    UploaderWindow window(On(camsim.Path(), WriteImage("v517-1.10")), {});
    window.show();
    window.Start();
    QTRY_VERIFY_WITH_TIMEOUT(Button(&window, "upload")->isEnabled(), CHAIN_MS);
    Button(&window, "upload")->click();
    QTRY_VERIFY_WITH_TIMEOUT(Message(&window).startsWith("Writing Firmware..."), CHAIN_MS);
    window.windowHandle()->destroy();
    QCloseEvent gone;
    QApplication::sendEvent(&window, &gone);
    QTRY_COMPARE_WITH_TIMEOUT(window.ExitStatus(), 0, CHAIN_MS);
    QCOMPARE(Message(&window), QString("Writing Firmware is complete."));
  }

  // No image yet: the one dropped on the window is checked; closing before
  // Upload writes nothing.
  void TakesADroppedImage() {
    Camsim camsim("");
    UploaderWindow window(On(camsim.Path(), (scratch_->Path() / "Firmware.bin").string()), {});
    window.show();
    window.Start();
    QTRY_VERIFY_WITH_TIMEOUT(window.WaitsForUser(), CHAIN_MS);
    QCOMPARE(Message(&window), QString("No Firmware found."));
    QCOMPARE(Button(&window, "remedy")->accessibleName(), QString("Choose image…"));
    Grab(&window, "no-image");
    // A folder is refused before any camera is looked for; its long name
    // keeps the window on an 800×600 screen.
    const std::filesystem::path folder = scratch_->Path() / std::string(200, 'f');
    std::filesystem::create_directory(folder);
    QMimeData folder_data;
    folder_data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.string()))});
    QDragEnterEvent enter_folder(QPoint(10, 10), Qt::CopyAction, &folder_data, Qt::LeftButton,
                                 Qt::NoModifier);
    QApplication::sendEvent(&window, &enter_folder);
    QVERIFY(enter_folder.isAccepted());
    QDropEvent drop_folder(QPointF(10, 10), Qt::CopyAction, &folder_data, Qt::LeftButton,
                           Qt::NoModifier);
    QApplication::sendEvent(&window, &drop_folder);
    QTRY_VERIFY2(Detail(&window).contains("it is a directory"), qPrintable(Detail(&window)));
    QVERIFY(!Button(&window, "upload")->isEnabled());
    QVERIFY(window.width() <= 800 && window.height() <= 600);
    Grab(&window, "folder");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(WriteImage("v517-1.10", "new.bin")))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    QTRY_VERIFY_WITH_TIMEOUT(Button(&window, "upload")->isEnabled(), CHAIN_MS);
    QTest::keyClick(&window, Qt::Key_Escape);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.ExitStatus(), 8);
    QVERIFY(window.width() <= 800);  // shrunk back after the long name
  }

  // No camera on the storage pipe and no port named: the serial ports that
  // exist are offered, and the one chosen is tried.
  void OffersTheSerialPorts() {
    Camsim camsim("--idle-exit-ms 5000");
    UploaderOptions options;
    options.image = WriteImage("v517-1.10");
    UploaderWindow window(options, {NO_DEVICE, camsim.Path()});
    window.show();
    window.Start();
    QTRY_VERIFY_WITH_TIMEOUT(window.WaitsForUser(), CHAIN_MS);
    QCOMPARE(Message(&window), QString("Camera is not connected."));
    auto* ports = window.findChild<QListWidget*>("ports");
    QVERIFY(ports->isVisible());
    Grab(&window, "no-camera");
    // A click only selects; the arrows and Enter choose.
    QTest::mouseClick(ports->viewport(), Qt::LeftButton, {},
                      ports->visualItemRect(ports->item(0)).center());
    QVERIFY(ports->isVisible());
    QTest::keyClick(ports, Qt::Key_Down);
    QTest::keyClick(ports, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(Button(&window, "upload")->isEnabled(), CHAIN_MS);
    QVERIFY(!ports->isVisible());
    QTest::mouseClick(Button(&window, "close"), Qt::LeftButton);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.ExitStatus(), 8);
  }

  void SaysNoCameraWithTheNamedPort() {
    UploaderWindow window(On(NO_DEVICE, WriteImage("v517-1.10")), {NO_DEVICE});
    window.show();
    window.Start();
    QTRY_VERIFY_WITH_TIMEOUT(window.WaitsForUser(), CHAIN_MS);
    QVERIFY(!window.findChild<QListWidget*>("ports")->isVisible());
    QVERIFY(window.findChild<QLabel*>("detail")->text().contains(NO_DEVICE));
    window.close();
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.ExitStatus(), 3);
  }
};

}  // namespace pelox

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == pelox::WINDOW_CHILD) {
    QApplication application(argc, argv);
    return pelox::RunWindowChild(argv[2], argv[3]);
  }
  // 200 %: twice the pixels and twice the font, as a large desktop setting.
  if (pelox::Scale() == 2) qputenv("QT_SCALE_FACTOR", "2");
  QApplication application(argc, argv);
  if (pelox::Scale() == 2) {
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 2);
    QApplication::setFont(font);
  }
  pelox::DesktopWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "desktop_window_test.moc"
