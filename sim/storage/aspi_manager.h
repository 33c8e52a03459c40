#pragma once
// The simulated ASPI manager: the library module with its two entry points,
// host adapters and the devices on their targets and LUNs.
#include <cstdint>

#include "sim/storage/scsi_device.h"

namespace pelox::sim {

struct AspiManagerSetup {
  bool library_present = true;
  bool send_entry_present = true;
  bool support_info_entry_present = true;
  // Support-info status; anything but 1 means the manager is not ready.
  uint8_t support_status = 0x01;
};

// How execute requests complete.
enum class AspiCompletion {
  BEFORE_RETURN,  // the status is final when SendASPI32Command returns
  SIGNALLED,      // pending at return, the completion event is signalled
  NEVER,          // pending at return, the event is never signalled
};

// Removes the library, its adapters and devices, and the counts.
void AspiManagerReset();
void AspiManagerInstall(const AspiManagerSetup& setup = {});
// Adds a host adapter; returns its number.
uint8_t AspiManagerAddAdapter();
void AspiManagerAttach(uint8_t adapter, uint8_t target, uint8_t lun, ScsiDevice& device);
void AspiManagerSetCompletion(AspiCompletion completion);

bool AspiManagerLoaded();
int32_t AspiManagerLoadCount();
// Execute requests run (INQUIRY and pipe commands alike).
int32_t AspiManagerExecuteCount();

}  // namespace pelox::sim
