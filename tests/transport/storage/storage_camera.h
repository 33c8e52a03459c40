#pragma once
// A virtual camera behind its storage face, on the simulated SCSI buses in
// virtual time.
#include <string>

#include "sim/camera/virtual_camera.h"
#include "sim/storage/storage_face.h"
#include "sim/virtual_clock.h"

namespace pelox::test {

inline sim::StorageFaceClock VirtualFaceClock() {
  return {sim::VirtualNowMs, [](uint64_t until_ms) {
            const uint64_t now = sim::VirtualNowMs();
            if (until_ms > now) sim::VirtualAdvanceMs(until_ms - now);
          }};
}

struct StorageCamera {
  explicit StorageCamera(const std::string& vendor_field = "PELOX",
                         sim::CameraConfig config = {})
      : camera(std::move(config)),
        face(camera.Endpoint(), camera.Log(), vendor_field, VirtualFaceClock()) {}

  sim::VirtualCamera camera;
  sim::StorageFace face;
};

}  // namespace pelox::test
