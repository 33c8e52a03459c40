#pragma once
// A link on COM1 connected to a virtual camera that speaks the command set,
// in virtual time, and the requests the camera took, read from its log.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "link/camera_link.h"
#include "link/link_info.h"
#include "sim/camera/virtual_camera.h"
#include "sim/vocabulary/command_vocabulary.h"

namespace pelox {

// Request classes as the wire carries them, written out here rather than
// taken from the link so that a wrong class in the link shows.
inline constexpr uint8_t CLASS_SET = 0;
inline constexpr uint8_t CLASS_GET = 1;
inline constexpr uint8_t CLASS_ACTION = 2;
inline constexpr uint8_t CLASS_WRITE = 3;
inline constexpr uint8_t CLASS_READ = 4;

// One request as the camera took it: its class, the id, code or kind, and
// the bytes after those two (a set's value, an action's argument, data).
struct WireRequest {
  uint8_t request_class;
  uint8_t id;
  std::vector<uint8_t> rest;
  bool operator==(const WireRequest&) const = default;
};
void PrintTo(const WireRequest& request, std::ostream* out);

std::vector<uint8_t> Le32Bytes(uint32_t value);

class CommandsOnCamera : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void Connect();
  // The requests the camera took since the last call.
  std::vector<WireRequest> TakeRequests();
  // How long the link stays busy from now after an action.
  uint32_t BusyMsLeft() const;
  // Brings the link back to ready, after an action or a refusal that broke
  // it, and forgets the requests that took.
  void Settle();

  sim::VirtualCamera camera_;
  sim::CommandVocabulary vocabulary_{camera_.Model()};
  CameraLink* link_ = nullptr;
};

}  // namespace pelox
