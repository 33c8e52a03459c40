#pragma once
// A virtual camera behind its storage face, on the simulated SCSI buses in
// virtual time.
#include <string>

#include "sim/camera/virtual_camera.h"
#include "sim/storage/storage_face.h"
#include "sim/storage/virtual_face_clock.h"

namespace pelox::test {

struct StorageCamera {
  explicit StorageCamera(const std::string& vendor_field = "PELOX", sim::CameraConfig config = {})
      : camera(std::move(config)),
        face(camera.Endpoint(), camera.Log(), vendor_field, sim::VirtualFaceClock()) {}

  sim::VirtualCamera camera;
  sim::StorageFace face;
};

}  // namespace pelox::test
