#pragma once
// One virtual camera: its model, log, fault plan, packet endpoint and
// serial face, wired together. Faces of other kinds attach to Endpoint().
// A second camera waits behind the same path for a swap fault.
#include "sim/camera/camera_log.h"
#include "sim/camera/camera_model.h"
#include "sim/camera/fault_plan.h"
#include "sim/camera/packet_endpoint.h"
#include "sim/camera/serial_face.h"

namespace pelox::sim {

// The camera a swap brings: another maker, family and version, a flat
// battery, and a flash that asks for no upload key.
inline CameraConfig OtherCameraConfig() {
  return {.maker = "OTHER CO.,LTD.",
          .firmware_version = "v600-2.00",
          .battery_level = 10,
          .accepted_upload_key = 0};
}

class VirtualCamera {
 public:
  explicit VirtualCamera(CameraConfig config = {}, CameraConfig other = OtherCameraConfig())
      : model_(std::move(config)),
        other_(std::move(other)),
        endpoint_(model_, other_, log_, faults_),
        serial_(endpoint_, log_) {}
  VirtualCamera(const VirtualCamera&) = delete;
  VirtualCamera& operator=(const VirtualCamera&) = delete;

  CameraModel& Model() { return model_; }
  const CameraModel& Model() const { return model_; }
  // The camera that answers on the path after a swap.
  CameraModel& Other() { return other_; }
  const CameraModel& Other() const { return other_; }
  CameraLog& Log() { return log_; }
  const CameraLog& Log() const { return log_; }
  FaultPlan& Faults() { return faults_; }
  PacketEndpoint& Endpoint() { return endpoint_; }
  const PacketEndpoint& Endpoint() const { return endpoint_; }
  SerialFace& Serial() { return serial_; }

 private:
  CameraModel model_;
  CameraModel other_;
  CameraLog log_;
  FaultPlan faults_;
  PacketEndpoint endpoint_;
  SerialFace serial_;
};

}  // namespace pelox::sim
