// pelox-uploader-gui: the Main dialog as a desktop window. It takes the
// command line's port options, and ends with the command line's statuses.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "app/desktop/desktop_texts.h"
#include "app/desktop/image_choice.h"
#include "app/desktop/image_chooser.h"
#include "app/desktop/serial_candidates.h"
#include "app/desktop/uploader_window.h"
#include "app/session/options.h"
#include "app/session/run_signals.h"

namespace {

// The outcome as the command line's detail line says it, for whoever
// started the window from a terminal or a script.
std::string OutcomeLine(const pelox::Verdict& verdict) {
  const std::string said =
      verdict.detail.empty() ? std::string(pelox::RunCauseText(verdict.cause)) : verdict.detail;
  return "pelox-uploader-gui: " + said;
}

}  // namespace

int main(int argc, char** argv) {
  // Parsed before Qt starts, so that --help, --version and bad usage need
  // no display; Qt takes its own options from argv itself.
  const std::vector<std::string> arguments(argv, std::next(argv, argc));
  const pelox::CommandLine command_line =
      pelox::ParseCommandLine(arguments, pelox::Program::WINDOW);
  if (!command_line.options) {
    std::fputs(command_line.text.c_str(), command_line.exit_status == 0 ? stdout : stderr);
    return command_line.exit_status;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("pelox-uploader-gui");
  QApplication::setDesktopFileName(pelox::ICON_NAME);
  pelox::UploaderOptions options = *command_line.options;
  const std::optional<std::string> image =
      pelox::ChooseImage(options.image, std::filesystem::current_path());
  if (image) {
    options.image = *image;
  } else {
    const QString chosen = pelox::AskForImage(nullptr, QDir::currentPath());
    // Without a choice the window says that no firmware was found, and an
    // image may still be dropped on it.
    options.image = chosen.isEmpty() ? "Firmware.bin" : chosen.toStdString();
  }
  // A signal (a logout, a kill) follows the session's rules: it never ends
  // the program while the camera may be writing.
  pelox::CatchRunSignals();
  pelox::UploaderWindow window(options, pelox::SerialCandidates("/dev"));
  window.show();
  window.Start();
  window.exec();
  std::fprintf(stderr, "%s\n", OutcomeLine(window.Result()).c_str());
  return window.ExitStatus();
}
