#include <array>
#include <atomic>

#include "platform/port_tap.h"

namespace pelox {
namespace {

std::array<std::atomic<PortTap*>, PORT_TAPS_MAX> taps{};

template <typename Call>
void EachTap(Call call) {
  for (std::atomic<PortTap*>& slot : taps) {
    if (PortTap* tap = slot.load(); tap != nullptr) call(*tap);
  }
}

}  // namespace

bool AddPortTap(PortTap& tap) {
  for (std::atomic<PortTap*>& slot : taps) {
    PortTap* empty = nullptr;
    if (slot.compare_exchange_strong(empty, &tap)) return true;
  }
  return false;
}

void RemovePortTap(PortTap& tap) {
  for (std::atomic<PortTap*>& slot : taps) {
    PortTap* mine = &tap;
    slot.compare_exchange_strong(mine, nullptr);
  }
}

void TapSerialOpened(int32_t port, std::string_view path) {
  EachTap([&](PortTap& tap) { tap.SerialOpened(port, path); });
}

void TapSerialBytes(TraceDirection direction, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  EachTap([&](PortTap& tap) { tap.SerialBytes(direction, bytes); });
}

void TapSerialSpeed(uint32_t baud) {
  EachTap([&](PortTap& tap) { tap.SerialSpeed(baud); });
}

void TapSerialFailed(TraceDirection direction) {
  EachTap([&](PortTap& tap) { tap.SerialFailed(direction); });
}

void TapSerialClosed() {
  EachTap([](PortTap& tap) { tap.SerialClosed(); });
}

void TapScsiCommand(const ScsiTrace& command) {
  EachTap([&](PortTap& tap) { tap.ScsiCommand(command); });
}

}  // namespace pelox
