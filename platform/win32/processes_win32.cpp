#include "platform/processes.h"

// windows.h must come before the headers that build on it.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cstring>

namespace pelox {
namespace {

constexpr size_t REGISTRY_STRING_CAPACITY = 256;

// Older systems lack the snapshot functions, so they are taken by name.
using CreateSnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFunction = BOOL(WINAPI*)(HANDLE, LPPROCESSENTRY32);

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void WalkSnapshot(HMODULE kernel, std::vector<ProcessEntry>& processes) {
  const auto create_snapshot = Lookup<CreateSnapshotFunction>(kernel, "CreateToolhelp32Snapshot");
  const auto first = Lookup<ProcessWalkFunction>(kernel, "Process32First");
  const auto next = Lookup<ProcessWalkFunction>(kernel, "Process32Next");
  if (create_snapshot == nullptr || first == nullptr || next == nullptr) return;

  HANDLE snapshot = create_snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = first(snapshot, &entry); more; more = next(snapshot, &entry)) {
    // szExeFile always ends within its array; bound the copy all the same.
    const auto& name = entry.szExeFile;
    processes.push_back({entry.th32ProcessID, std::string(name, strnlen(name, sizeof(name)))});
  }
  CloseHandle(snapshot);
}

}  // namespace

std::vector<ProcessEntry> ProcessSnapshot() {
  std::vector<ProcessEntry> processes;
  HMODULE kernel = LoadLibraryA("Kernel32.dll");
  if (kernel == nullptr) return processes;
  WalkSnapshot(kernel, processes);
  FreeLibrary(kernel);
  return processes;
}

void ProcessTerminate(uint32_t process_id, uint32_t exit_code) {
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, process_id);
  if (process == nullptr) return;
  TerminateProcess(process, exit_code);
  CloseHandle(process);
}

bool RegistryReadMachineStrings(const char* key, std::span<const char* const> names,
                                std::span<std::string> values) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  bool all_read = names.size() <= values.size();
  for (size_t i = 0; all_read && i < names.size(); ++i) {
    // The value may fill all 256 bytes without a closing zero: the text ends
    // at the first zero or at the bytes the system wrote, whichever is first.
    std::array<char, REGISTRY_STRING_CAPACITY> buffer{};
    DWORD size = static_cast<DWORD>(buffer.size());
    all_read = RegQueryValueExA(opened, names[i], nullptr, nullptr,
                                reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS;
    if (all_read) {
      values[i].assign(buffer.data(),
                       strnlen(buffer.data(), std::min<size_t>(size, buffer.size())));
    }
  }
  RegCloseKey(opened);
  return all_read;
}

bool WindowPostClose(const char* window_class, const char* title) {
  HWND window = FindWindowA(window_class, title);
  if (window == nullptr) return false;
  PostMessageA(window, WM_CLOSE, 0, 0);
  return true;
}

}  // namespace pelox
