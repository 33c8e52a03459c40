// pelox-uploader-gui: the Main dialog as a desktop window. It takes the
// command line's port options, and ends with the command line's statuses.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/desktop/desktop_texts.h"
#include "app/desktop/image_choice.h"
#include "app/desktop/serial_candidates.h"
#include "app/desktop/uploader_window.h"
#include "app/session/options.h"
#include "app/session/run_signals.h"

namespace {

// What only the terminal program does; the window refuses it rather than
// ignoring it.
std::string TerminalOnlyOption(const pelox::UploaderOptions& options) {
  if (options.list) return "--list";
  if (!options.inspect.empty()) return "--inspect";
  if (options.check) return "--check";
  if (options.json) return "--json";
  if (options.plain) return "--plain";
  if (options.quiet) return "--quiet";
  if (options.yes) return "--yes";
  if (!options.log_file.empty()) return "--log";
  if (!options.record_file.empty()) return "--record";
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("pelox-uploader-gui");
  QApplication::setDesktopFileName(pelox::ICON_NAME);
  // Qt has taken its own options (-platform, ...); the rest are ours.
  std::vector<std::string> arguments;
  for (const QString& argument : QApplication::arguments()) {
    arguments.push_back(argument.toStdString());
  }
  const pelox::CommandLine command_line = pelox::ParseCommandLine(arguments);
  if (!command_line.options) {
    std::fputs(command_line.text.c_str(), command_line.exit_status == 0 ? stdout : stderr);
    return command_line.exit_status;
  }
  pelox::UploaderOptions options = *command_line.options;
  if (const std::string option = TerminalOnlyOption(options); !option.empty()) {
    std::fprintf(stderr, "pelox-uploader-gui: %s is for pelox-uploader\n", option.c_str());
    return pelox::EXIT_USAGE;
  }
  const std::optional<std::string> image =
      pelox::ChooseImage(options.image, std::filesystem::current_path());
  if (image) {
    options.image = *image;
  } else {
    const QString chosen = QFileDialog::getOpenFileName(nullptr, pelox::TEXT_CHOOSE_IMAGE,
                                                        QDir::currentPath(), pelox::IMAGE_FILTERS);
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
  return window.ExitStatus();
}
