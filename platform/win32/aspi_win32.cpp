#include <windows.h>

#include <cstring>
#include <new>

#include "platform/aspi.h"

namespace pelox {

static_assert(sizeof(void*) == 4, "the ASPI request layout has 4-byte pointer slots");

using SendAspiCommand = DWORD(__cdecl*)(void* request);
using GetAspiSupportInfo = DWORD(__cdecl*)();

struct AspiModule {
  HMODULE library = nullptr;
  SendAspiCommand send = nullptr;
  GetAspiSupportInfo support_info = nullptr;
};

namespace {

template <typename Function>
Function Entry(HMODULE library, const char* name) {
  // Through the generic function type, which every function pointer converts to.
  using Generic = void (*)();
  return reinterpret_cast<Function>(reinterpret_cast<Generic>(GetProcAddress(library, name)));
}

void StorePointer(std::span<uint8_t> request, size_t offset, const void* pointer) {
  const auto value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
  std::memcpy(request.data() + offset, &value, sizeof value);
}

}  // namespace

AspiModuleHandle AspiModuleLoad() {
  HMODULE library = LoadLibraryA("wnaspi32.dll");
  if (library == nullptr) return nullptr;
  auto* module =
      new (std::nothrow) AspiModule{library, Entry<SendAspiCommand>(library, "SendASPI32Command"),
                                    Entry<GetAspiSupportInfo>(library, "GetASPI32SupportInfo")};
  if (module == nullptr || module->send == nullptr || module->support_info == nullptr) {
    delete module;
    FreeLibrary(library);
    return nullptr;
  }
  return module;
}

void AspiModuleUnload(AspiModuleHandle module) {
  if (module == nullptr) return;
  FreeLibrary(module->library);
  delete module;
}

uint32_t AspiModuleSupportInfo(AspiModuleHandle module) { return module->support_info(); }

uint32_t AspiModuleSend(AspiModuleHandle module, std::span<uint8_t> request,
                        std::span<uint8_t> data, EventHandle completion) {
  if (request.size() > ASPI_POST_PROC_SLOT_OFFSET + sizeof(uint32_t) &&
      request[0] == ASPI_EXEC_SCSI_CMD) {
    StorePointer(request, ASPI_BUFFER_SLOT_OFFSET, data.data());
    StorePointer(request, ASPI_POST_PROC_SLOT_OFFSET, completion);
  }
  return module->send(request.data());
}

}  // namespace pelox
