#include "app/session/device_holder.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

namespace pelox {
namespace {

namespace fs = std::filesystem;

constexpr const char* PROCESSES = "/proc";
// Where programs such as minicom leave LCK..NAME holding their process id.
constexpr const char* LOCK_FOLDERS[] = {"/run/lock", "/var/lock"};

std::optional<int> ProcessId(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  int pid = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
  if (error != std::errc{} || end == text.data() || pid <= 0) return std::nullopt;
  return pid;
}

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// The process that has `device` among its open descriptors.
std::optional<int> OpenerOf(const fs::path& device) {
  std::error_code error;
  for (fs::directory_iterator process(PROCESSES, error), end; !error && process != end;
       process.increment(error)) {
    const std::optional<int> pid = ProcessId(process->path().filename().string());
    if (!pid) continue;
    std::error_code unreadable;  // another user's process
    for (fs::directory_iterator fd(process->path() / "fd", unreadable), last;
         !unreadable && fd != last; fd.increment(unreadable)) {
      std::error_code gone;
      if (fs::read_symlink(fd->path(), gone) == device) return pid;
    }
  }
  return std::nullopt;
}

std::optional<int> LockerOf(const fs::path& device) {
  for (const char* folder : LOCK_FOLDERS) {
    const fs::path lock = fs::path(folder) / ("LCK.." + device.filename().string());
    const std::optional<int> pid = ProcessId(FirstLine(lock));
    std::error_code error;  // a lock left by a program that has ended holds nothing
    if (pid && fs::exists(fs::path(PROCESSES) / std::to_string(*pid), error)) return pid;
  }
  return std::nullopt;
}

// The program's name as it was started (its command line's first word).
std::string ProgramName(int pid) {
  const fs::path process = fs::path(PROCESSES) / std::to_string(pid);
  std::string command = FirstLine(process / "cmdline");
  command = command.substr(0, command.find('\0'));
  if (!command.empty()) return fs::path(command).filename().string();
  return FirstLine(process / "comm");
}

}  // namespace

std::string DeviceHolder(const std::string& device) {
  std::error_code error;
  const fs::path real = fs::canonical(device, error);
  if (error) return {};
  std::optional<int> pid = OpenerOf(real);
  if (!pid) pid = LockerOf(real);
  if (!pid) return {};
  const std::string name = ProgramName(*pid);
  return (name.empty() ? "a program" : name) + " (process " + std::to_string(*pid) + ")";
}

}  // namespace pelox
