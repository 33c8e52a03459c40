#pragma once
// The storage face's clock on the simulated platform: waiting moves virtual time.
#include "sim/storage/storage_face.h"
#include "sim/virtual_clock.h"

namespace pelox::sim {

inline StorageFaceClock VirtualFaceClock() {
  return {VirtualNowMs, [](uint64_t until_ms) {
            const uint64_t now = VirtualNowMs();
            if (until_ms > now) VirtualAdvanceMs(until_ms - now);
          }};
}

}  // namespace pelox::sim
