// There is no ASPI library on this system: the storage pipe uses SG_IO.
#include "platform/aspi.h"

namespace pelox {

AspiModuleHandle AspiModuleLoad() { return nullptr; }
void AspiModuleUnload(AspiModuleHandle /*module*/) {}
uint32_t AspiModuleSupportInfo(AspiModuleHandle /*module*/) { return 0; }
uint32_t AspiModuleSend(AspiModuleHandle /*module*/, std::span<uint8_t> /*request*/,
                        std::span<uint8_t> /*data*/, EventHandle /*completion*/) {
  return 0;
}

}  // namespace pelox
