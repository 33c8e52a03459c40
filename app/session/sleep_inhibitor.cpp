#include "app/session/sleep_inhibitor.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace pelox {

void SleepInhibitor::Take() {
  if (lock_ >= 0) return;
  sd_bus* bus = nullptr;
  if (sd_bus_open_system(&bus) < 0) return;
  sd_bus_message* reply = nullptr;
  // Empty, as SD_BUS_ERROR_NULL makes it; that macro is a C compound literal,
  // which clang refuses in C++.
  sd_bus_error error{};
  if (sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager", "Inhibit", &error, &reply, "ssss",
                         "sleep:shutdown", "pelox-uploader", "Writing firmware into a camera",
                         "block") >= 0) {
    int fd = -1;
    // The reply's descriptor goes with the message: keep a copy of our own.
    if (sd_bus_message_read(reply, "h", &fd) >= 0) lock_ = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  }
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  sd_bus_unref(bus);
}

void SleepInhibitor::Release() {
  if (lock_ < 0) return;
  close(lock_);
  lock_ = -1;
}

}  // namespace pelox
