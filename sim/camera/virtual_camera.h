#pragma once
// One virtual camera: its model, log, fault plan, packet endpoint and
// serial face, wired together. Faces of other kinds attach to Endpoint().
#include "sim/camera/camera_log.h"
#include "sim/camera/camera_model.h"
#include "sim/camera/fault_plan.h"
#include "sim/camera/packet_endpoint.h"
#include "sim/camera/serial_face.h"

namespace pelox::sim {

class VirtualCamera {
 public:
  explicit VirtualCamera(CameraConfig config = {})
      : model_(std::move(config)), endpoint_(model_, log_, faults_), serial_(endpoint_, log_) {}
  VirtualCamera(const VirtualCamera&) = delete;
  VirtualCamera& operator=(const VirtualCamera&) = delete;

  CameraModel& Model() { return model_; }
  const CameraModel& Model() const { return model_; }
  CameraLog& Log() { return log_; }
  const CameraLog& Log() const { return log_; }
  FaultPlan& Faults() { return faults_; }
  PacketEndpoint& Endpoint() { return endpoint_; }
  SerialFace& Serial() { return serial_; }

 private:
  CameraModel model_;
  CameraLog log_;
  FaultPlan faults_;
  PacketEndpoint endpoint_;
  SerialFace serial_;
};

}  // namespace pelox::sim
