#include "app/terminal/terminal_rescue.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>

namespace pelox {
namespace {

constexpr std::array<int, 5> FAULTS = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t RESET_MAX = 256;

struct Rescue {
  termios settings{};
  std::array<char, RESET_MAX> reset{};
  size_t reset_size = 0;
  std::array<struct sigaction, FAULTS.size()> previous{};
  std::atomic<bool> armed{false};
};

Rescue rescue;

// Only async-signal-safe calls here.
void OnFault(int number, siginfo_t* info, void* /*context*/) {
  if (rescue.armed.exchange(false)) {
    [[maybe_unused]] const ssize_t written =
        write(STDOUT_FILENO, rescue.reset.data(), rescue.reset_size);
    tcsetattr(STDIN_FILENO, TCSANOW, &rescue.settings);
  }
  for (size_t i = 0; i < FAULTS.size(); ++i) {
    if (FAULTS[i] == number) sigaction(number, &rescue.previous[i], nullptr);
  }
  // A fault of the program comes back when the handler returns, to the
  // previous handler; one sent from outside is sent again.
  if (info == nullptr || info->si_code <= 0) raise(number);
}

}  // namespace

void RescueTerminalOnFault(const termios& settings, std::string_view reset) {
  rescue.settings = settings;
  rescue.reset_size = std::min(reset.size(), RESET_MAX);
  std::copy_n(reset.begin(), rescue.reset_size, rescue.reset.begin());
  struct sigaction action {};
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < FAULTS.size(); ++i) sigaction(FAULTS[i], &action, &rescue.previous[i]);
  rescue.armed = true;
}

void StopRescuingTerminal() {
  if (!rescue.armed.exchange(false)) return;
  for (size_t i = 0; i < FAULTS.size(); ++i) sigaction(FAULTS[i], &rescue.previous[i], nullptr);
}

}  // namespace pelox
