#include "transport/discovery/device_table.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/thread.h"
#include "transport/discovery/device_table_internal.h"

namespace pelox {
namespace {

constexpr int32_t NO_BIT = -1;
constexpr int32_t MASK_BITS = 32;

struct DeviceTable {
  std::array<CameraDevice, DEVICE_TABLE_CAPACITY> entries;
  int32_t device_count = 0;
  uint32_t devices_in_use = 0;
  std::array<const void*, MASK_BITS> claim_owners{};
  int32_t denied_count = 0;
  std::string first_denied;
  int32_t system_error = 0;
  // By what the device is, not by entry: a discovery rebuilds the table.
  std::vector<CameraDevice> passed_over;
};

DeviceTable table;

// Links on different threads discover and claim at once: every access to
// the table goes through this lock.
Mutex& TableLock() {
  static Mutex lock;
  return lock;
}
using Hold = std::lock_guard<Mutex>;

int32_t ClaimBit(int32_t index, ClaimBy by) {
  if (index < 0 || index >= table.device_count) return NO_BIT;
  if (by == ClaimBy::TABLE_INDEX) return index;
  char letter = table.entries[static_cast<size_t>(index)].root[0];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  return letter >= 'A' && letter <= 'Z' ? letter - 'A' : NO_BIT;
}

uint32_t Mask(int32_t bit) { return uint32_t{1} << static_cast<uint32_t>(bit); }

bool PassedOver(int32_t index) {
  if (index < 0 || index >= table.device_count) return false;
  return std::ranges::find(table.passed_over, table.entries[static_cast<size_t>(index)]) !=
         table.passed_over.end();
}

}  // namespace

bool DevicePassedOver(int32_t index) {
  const Hold hold(TableLock());
  return PassedOver(index);
}

void DeviceTableClear() {
  const Hold hold(TableLock());
  table.device_count = 0;
  table.denied_count = 0;
  table.first_denied.clear();
  table.system_error = 0;
}

bool DeviceTableAdd(const CameraDevice& device) {
  const Hold hold(TableLock());
  if (table.device_count >= DEVICE_TABLE_CAPACITY) return false;
  table.entries[static_cast<size_t>(table.device_count++)] = device;
  return true;
}

int32_t DeviceCount() {
  const Hold hold(TableLock());
  return table.device_count;
}

const CameraDevice* DeviceTableEntry(int32_t index) {
  const Hold hold(TableLock());
  if (index < 0 || index >= table.device_count) return nullptr;
  return &table.entries[static_cast<size_t>(index)];
}

uint32_t DevicesInUse() {
  const Hold hold(TableLock());
  return table.devices_in_use;
}

bool DeviceHoldsClaim(const void* owner) {
  const Hold hold(TableLock());
  for (int32_t bit = 0; bit < MASK_BITS; ++bit) {
    if (table.claim_owners[static_cast<size_t>(bit)] == owner &&
        (table.devices_in_use & Mask(bit)) != 0) {
      return true;
    }
  }
  return false;
}

void DevicePassOver(int32_t index) {
  const Hold hold(TableLock());
  if (index < 0 || index >= table.device_count || PassedOver(index)) return;
  table.passed_over.push_back(table.entries[static_cast<size_t>(index)]);
}

void DevicePassOverForget() {
  const Hold hold(TableLock());
  table.passed_over.clear();
}

int32_t DeviceClaimFirstFree(ClaimBy by, const void* owner) {
  const Hold hold(TableLock());
  for (int32_t index = 0; index < table.device_count; ++index) {
    const int32_t bit = ClaimBit(index, by);
    if (bit == NO_BIT || bit >= MASK_BITS || (table.devices_in_use & Mask(bit)) != 0 ||
        PassedOver(index)) {
      continue;
    }
    table.devices_in_use |= Mask(bit);
    table.claim_owners[static_cast<size_t>(bit)] = owner;
    return index;
  }
  return -1;
}

void DeviceReleaseClaims(const void* owner) {
  const Hold hold(TableLock());
  for (int32_t bit = 0; bit < MASK_BITS; ++bit) {
    const void*& holder = table.claim_owners[static_cast<size_t>(bit)];
    if (holder != owner || (table.devices_in_use & Mask(bit)) == 0) continue;
    table.devices_in_use &= ~Mask(bit);
    holder = nullptr;
  }
}

void DiscoveryNoteDenied(std::string_view path) {
  const Hold hold(TableLock());
  if (table.denied_count++ == 0) table.first_denied = path;
}

int32_t DiscoveryDeniedCount() {
  const Hold hold(TableLock());
  return table.denied_count;
}
std::string DiscoveryFirstDenied() {
  const Hold hold(TableLock());
  return table.first_denied;
}
void DiscoverySetSystemError(int32_t error) {
  const Hold hold(TableLock());
  table.system_error = error;
}
int32_t DiscoverySystemError() {
  const Hold hold(TableLock());
  return table.system_error;
}

void DeviceTableReset() {
  const Hold hold(TableLock());
  table = DeviceTable{};
}

}  // namespace pelox
