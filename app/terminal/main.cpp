// pelox-uploader: the Main dialog in a terminal, or as plain lines for logs
// and scripts.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/terminal/options.h"
#include "app/terminal/uploader_session.h"
#include "platform/serial_map.h"
#include "transport/discovery/device_table.h"

namespace {

constexpr int EXIT_COMPLETE = 0;
constexpr int EXIT_NOT_COMPLETE = 1;
constexpr int EXIT_USAGE = 2;
constexpr int32_t COM1 = 1;
constexpr int32_t COM2 = 2;
constexpr const char* PROGRAM_VERSION = "1.0.0";

// Discovery met camera candidates it was not allowed to open: say how to get
// the access, once.
void ExplainDeniedDevices() {
  if (pelox::DiscoveryDeniedCount() == 0) return;
  std::fprintf(stderr,
               "pelox-uploader: %d device(s), the first %s, could not be opened for lack of "
               "permission.\nGive your user read and write access to the camera's SCSI generic "
               "device (for example add it to the group that owns /dev/sg*, often \"disk\", and "
               "log in again), or run the uploader as root.\n",
               static_cast<int>(pelox::DiscoveryDeniedCount()),
               pelox::DiscoveryFirstDenied().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const std::string program = argc > 0 ? argv[0] : "pelox-uploader";
  pelox::UploaderOptions options;
  std::string error;
  if (!pelox::ParseUploaderOptions(arguments, options, error)) {
    std::fprintf(stderr, "%s: %s\n%s", program.c_str(), error.c_str(),
                 pelox::UploaderUsage(program).c_str());
    return EXIT_USAGE;
  }
  if (options.help) {
    std::fputs(pelox::UploaderUsage(program).c_str(), stdout);
    return EXIT_COMPLETE;
  }
  if (options.version) {
    std::printf("pelox-uploader %s\n", PROGRAM_VERSION);
    return EXIT_COMPLETE;
  }
  if (options.com1) pelox::SerialMapDevice(COM1, *options.com1);
  if (options.com2) pelox::SerialMapDevice(COM2, *options.com2);

  pelox::SessionMode mode;
  mode.drawn = !options.plain && isatty(STDOUT_FILENO) == 1 && isatty(STDIN_FILENO) == 1;
  mode.yes = options.yes;
  const pelox::SessionOutcome outcome = pelox::RunUploaderSession(mode);
  if (outcome.camera_missing) ExplainDeniedDevices();
  return outcome.complete ? EXIT_COMPLETE : EXIT_NOT_COMPLETE;
}
