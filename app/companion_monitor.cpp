#include "app/companion_monitor.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace pelox {
namespace {

constexpr std::string_view MONITOR_NAME = "PXVWMON.EXE";
constexpr std::string_view MONITOR_BARE_NAME = "PXVMON.EXE";
constexpr std::string_view VIEWER_NAME = "PELOXVIEW.EXE";
constexpr uint32_t TERMINATED_EXIT_CODE = 1;

constexpr const char* MONITOR_KEY = "SOFTWARE\\Pelox\\Pelox View\\Monitor";
constexpr std::array<const char*, 2> MONITOR_WINDOW_VALUES = {"Class", "Title"};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

bool EndsWithIgnoringCase(std::string_view name, std::string_view tail) {
  return name.size() >= tail.size() &&
         EqualIgnoringCase(name.substr(name.size() - tail.size()), tail);
}

bool IsMonitor(std::string_view name) {
  return EndsWithIgnoringCase(name, MONITOR_NAME) || EqualIgnoringCase(name, MONITOR_BARE_NAME);
}

bool IsViewer(std::string_view name) { return EndsWithIgnoringCase(name, VIEWER_NAME); }

}  // namespace

std::vector<uint32_t> CompanionProcessesToEnd(std::span<const ProcessEntry> processes) {
  std::optional<uint32_t> monitor;
  std::optional<uint32_t> viewer;
  for (const ProcessEntry& process : processes) {
    if (IsMonitor(process.exe_name)) monitor = process.process_id;
    if (IsViewer(process.exe_name)) viewer = process.process_id;
  }
  std::vector<uint32_t> to_end;
  if (monitor) to_end.push_back(*monitor);
  if (viewer) to_end.push_back(*viewer);
  return to_end;
}

void TerminateMonitorProcesses() {
  for (const uint32_t process_id : CompanionProcessesToEnd(ProcessSnapshot())) {
    ProcessTerminate(process_id, TERMINATED_EXIT_CODE);
  }
}

void CloseMonitorWindow() {
  std::array<std::string, MONITOR_WINDOW_VALUES.size()> window;
  if (!RegistryReadMachineStrings(MONITOR_KEY, MONITOR_WINDOW_VALUES, window)) return;
  WindowPostClose(window[0].c_str(), window[1].c_str());
}

}  // namespace pelox
