#include "app/session/device_holder.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <sstream>
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

// The process that holds a lock on `device` (flock, as the uploader takes
// one): the locks' table names each by its file system and inode.
std::optional<int> LockOwnerOf(const fs::path& device) {
  struct stat status {};
  if (stat(device.c_str(), &status) != 0) return std::nullopt;
  std::ostringstream name;
  name << std::hex << std::setfill('0') << std::setw(2) << major(status.st_dev) << ':'
       << std::setw(2) << minor(status.st_dev) << ':' << std::dec << status.st_ino;
  const std::string inode = name.str();
  std::ifstream locks(fs::path(PROCESSES) / "locks");
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, file;
    fields >> number >> kind >> mode >> access >> pid >> file;
    // A waiter's line ("->") holds nothing.
    if (kind != "->" && file == inode) return ProcessId(pid);
  }
  return std::nullopt;
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
  std::optional<int> pid = LockOwnerOf(real);
  if (!pid) pid = LockerOf(real);
  if (!pid) pid = OpenerOf(real);
  if (!pid) return {};
  const std::string name = ProgramName(*pid);
  return (name.empty() ? "a program" : name) + " (process " + std::to_string(*pid) + ")";
}

}  // namespace pelox
