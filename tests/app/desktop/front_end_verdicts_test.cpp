// The two Linux front ends over the same camera faults: the command line
// (pelox-uploader --json --yes) and the window, pressed as --yes would,
// each against a camsim of its own, end with the same cause and status.
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "app/desktop/uploader_window.h"
#include "tests/app/firmware_files.h"
#include "tests/system/camsim_process.h"
#include "tools/firmware_sample.h"

namespace pelox {
namespace {

constexpr int CHAIN_MS = 30000;
constexpr const char* NO_DEVICE = "/nonexistent/pelox-com";
constexpr const char* CAMERA_OPTIONS = "--flash-busy-ms 800 ";

struct Ending {
  std::string cause;
  int exit_status = -1;
};

// The command line's result object, the last line it prints.
Ending CommandLineEnding(const std::string& port, const std::string& image) {
  const std::string command =
      std::string(UPLOADER_PATH) + " --json --yes --port " + port + " " + image + " 2>/dev/null";
  FILE* output = popen(command.c_str(), "r");
  if (output == nullptr) return {};
  std::string last;
  std::array<char, 4096> line{};
  while (std::fgets(line.data(), line.size(), output) != nullptr) last = line.data();
  const int status = pclose(output);
  const nlohmann::json result = nlohmann::json::parse(last, nullptr, false);
  if (!result.contains("result")) return {"no result: " + last, -1};
  Ending ending{result["result"]["cause"].get<std::string>(),
                WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  if (result["result"]["exit_status"] != ending.exit_status) ending.cause += " (status differs)";
  return ending;
}

}  // namespace

class FrontEndVerdictsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::ScratchDirectory> scratch_;

  // The window, Upload pressed whenever it is offered, until the chain ended.
  Ending WindowEnding(const std::string& port, const std::string& image) {
    UploaderOptions options;
    options.ports = {port};
    options.image = image;
    UploaderWindow window(options, {});
    window.show();
    window.Start();
    auto* upload = window.findChild<QPushButton*>("upload");
    auto* close = window.findChild<QPushButton*>("close");
    bool pressed = false;
    const auto ended = [&] {
      if (!window.WaitsForUser()) return false;
      if (upload->isEnabled() && !pressed) {
        pressed = true;
        QTest::mouseClick(upload, Qt::LeftButton);
        return false;
      }
      return !upload->isEnabled() && close->isEnabled();
    };
    if (!QTest::qWaitFor(ended, CHAIN_MS)) return {"no end", -1};
    QTest::mouseClick(close, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return !window.isVisible(); }, CHAIN_MS)) return {"not closed", -1};
    return {std::string(RunCauseText(window.Result().cause)), window.ExitStatus()};
  }

 private slots:
  void init() { scratch_ = std::make_unique<test::ScratchDirectory>(); }
  void cleanup() { scratch_.reset(); }

  void SayTheSameCauseAndStatus_data() {
    QTest::addColumn<QString>("camera");  // empty: no camera on the port
    QTest::addColumn<QString>("image_version");
    QTest::addColumn<int>("image_cut");  // cut the image to this size; 0: keep it whole
    QTest::addColumn<QString>("cause");
    QTest::addColumn<int>("status");
    QTest::newRow("written") << ""
                             << "v517-1.10" << 0 << "written" << 0;
    QTest::newRow("no-camera") << QString() << "v517-1.10" << 0 << "no-camera" << 3;
    QTest::newRow("cut-image") << ""
                               << "v517-1.10" << 500 << "image-refused" << 4;
    QTest::newRow("other-maker") << "--maker OTHERCAM"
                                 << "v517-1.10" << 0 << "other-maker" << 5;
    QTest::newRow("battery-low") << "--battery 30"
                                 << "v517-1.10" << 0 << "battery-low" << 5;
    QTest::newRow("same-version") << "--firmware-version v517-1.10"
                                  << "v517-1.10" << 0 << "up-to-date" << 6;
    QTest::newRow("older-image") << "--firmware-version v517-1.10"
                                 << "v517-1.00" << 0 << "up-to-date" << 6;
    QTest::newRow("unplugged-mid-transfer") << "--unplug-after-bytes 8000"
                                            << "v517-1.10" << 0 << "write-failed" << 1;
    QTest::newRow("write-ends-in-an-error") << "--fault end-error@action"
                                            << "v517-1.10" << 0 << "write-uncertain" << 7;
    QTest::newRow("write-command-refused") << "--fault nak@action:11*4"
                                           << "v517-1.10" << 0 << "write-refused" << 1;
  }
  void SayTheSameCauseAndStatus() {
    QFETCH(QString, camera);
    QFETCH(QString, image_version);
    QFETCH(int, image_cut);
    QFETCH(QString, cause);
    QFETCH(int, status);
    const std::filesystem::path image = scratch_->Path() / "Firmware.bin";
    test::WriteFile(image, SampleFirmwareImage(image_version.toStdString(), SamplePayload(20000)));
    if (image_cut != 0) std::filesystem::resize_file(image, static_cast<uintmax_t>(image_cut));
    Ending ends[2];
    for (int front_end = 0; front_end < 2; ++front_end) {
      std::optional<Camsim> camsim;
      if (!camera.isNull()) camsim.emplace(CAMERA_OPTIONS + camera.toStdString());
      const std::string port = camsim ? camsim->Path() : NO_DEVICE;
      ends[front_end] = front_end == 0 ? CommandLineEnding(port, image.string())
                                       : WindowEnding(port, image.string());
    }
    QCOMPARE(QString::fromStdString(ends[0].cause), cause);
    QCOMPARE(ends[0].exit_status, status);
    QCOMPARE(QString::fromStdString(ends[1].cause), cause);
    QCOMPARE(ends[1].exit_status, status);
  }
};

}  // namespace pelox

QTEST_MAIN(pelox::FrontEndVerdictsTest)
#include "front_end_verdicts_test.moc"
