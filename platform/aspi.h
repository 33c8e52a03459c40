#pragma once
// The ASPI library module and its two entry points. The request blocks are
// laid out for the 32-bit system that consumes them, with 4-byte pointer
// slots; the backend writes the data buffer and the completion event into
// those slots itself, so callers hand them over as arguments.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/devices.h"

namespace pelox {

// Pointer slots of the execute request, SRB_BufPointer and SRB_PostProc.
inline constexpr size_t ASPI_BUFFER_SLOT_OFFSET = 16;
inline constexpr size_t ASPI_POST_PROC_SLOT_OFFSET = 24;
inline constexpr uint8_t ASPI_EXEC_SCSI_CMD = 2;

struct AspiModule;
using AspiModuleHandle = AspiModule*;

// Loads the library and takes both entry points; null when the library or
// either entry point is missing.
AspiModuleHandle AspiModuleLoad();
void AspiModuleUnload(AspiModuleHandle module);

// GetASPI32SupportInfo: status in bits 8-15, host adapter count in bits 0-7.
uint32_t AspiModuleSupportInfo(AspiModuleHandle module);

// SendASPI32Command on `request`. For an execute request, `data` and
// `completion` go into its buffer and post-procedure slots first.
uint32_t AspiModuleSend(AspiModuleHandle module, std::span<uint8_t> request,
                        std::span<uint8_t> data, EventHandle completion);

}  // namespace pelox
