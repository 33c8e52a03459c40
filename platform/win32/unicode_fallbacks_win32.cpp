// The Unicode entry points that the C runtime (locale helpers, rand_s) and
// libgcc (its locks) call. Windows 95, 98 and Me export them only as stubs
// that fail with ERROR_CALL_NOT_IMPLEMENTED, which would leave libgcc's
// locks unmade. These definitions fill the runtime's import slots, so the
// exe imports none of them: the system's own function runs wherever it
// works (2000 and later), the ANSI one with the name converted elsewhere.
#include <windows.h>

#include <array>

namespace {

using ModuleHandleFunction = HMODULE(WINAPI*)(LPCWSTR);
using LoadLibraryFunction = HMODULE(WINAPI*)(LPCWSTR);
using CreateSemaphoreFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR);

// Module and object names that these callers pass are plain ASCII.
using AnsiName = std::array<char, MAX_PATH>;

template <typename Function>
Function SystemEntry(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

// The system's function did its work, failures of its own included; only
// the 95 line's stub says it is not implemented.
template <typename Result>
bool Answered(Result result) {
  return result != nullptr || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
}

// Null for a null name; false when the name does not convert.
bool ToAnsi(LPCWSTR wide, AnsiName& ansi, const char*& name) {
  name = nullptr;
  if (wide == nullptr) return true;
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi.data(), static_cast<int>(ansi.size()), nullptr,
                          nullptr) <= 0) {
    return false;
  }
  name = ansi.data();
  return true;
}

// Calls the system's Unicode function `entry` through `call_system`, and
// where it is only a stub the ANSI one through `call_ansi` with the name
// converted.
template <typename Function, typename CallSystem, typename CallAnsi>
auto UnicodeOrAnsi(const char* entry, LPCWSTR wide_name, CallSystem call_system,
                   CallAnsi call_ansi) {
  if (const auto system = SystemEntry<Function>(entry)) {
    SetLastError(NO_ERROR);
    if (const auto result = call_system(system); Answered(result)) return result;
  }
  AnsiName ansi{};
  const char* name = nullptr;
  return ToAnsi(wide_name, ansi, name) ? call_ansi(name) : nullptr;
}

HMODULE WINAPI ModuleHandleW(LPCWSTR wide_name) {
  return UnicodeOrAnsi<ModuleHandleFunction>(
      "GetModuleHandleW", wide_name, [&](ModuleHandleFunction system) { return system(wide_name); },
      [](const char* name) { return GetModuleHandleA(name); });
}

HMODULE WINAPI LibraryW(LPCWSTR wide_name) {
  return UnicodeOrAnsi<LoadLibraryFunction>(
      "LoadLibraryW", wide_name, [&](LoadLibraryFunction system) { return system(wide_name); },
      [](const char* name) { return LoadLibraryA(name); });
}

HANDLE WINAPI SemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum,
                         LPCWSTR wide_name) {
  return UnicodeOrAnsi<CreateSemaphoreFunction>(
      "CreateSemaphoreW", wide_name,
      [&](CreateSemaphoreFunction system) {
        return system(attributes, initial, maximum, wide_name);
      },
      [&](const char* name) { return CreateSemaphoreA(attributes, initial, maximum, name); });
}

}  // namespace

// The import slots, under the names the i686 runtime objects refer to.
extern "C" {
extern const ModuleHandleFunction import_get_module_handle_w __asm__("__imp__GetModuleHandleW@4");
extern const LoadLibraryFunction import_load_library_w __asm__("__imp__LoadLibraryW@4");
extern const CreateSemaphoreFunction import_create_semaphore_w __asm__(
    "__imp__CreateSemaphoreW@16");
}
const ModuleHandleFunction import_get_module_handle_w = ModuleHandleW;
const LoadLibraryFunction import_load_library_w = LibraryW;
const CreateSemaphoreFunction import_create_semaphore_w = SemaphoreW;
