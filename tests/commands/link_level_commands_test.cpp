// Commands that reach below the packet protocol (the serial-line probe),
// write to files, or must start again after the link was re-established.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "commands/camera_commands.h"
#include "platform/file.h"
#include "sim/camera/fault_plan.h"
#include "sim/serial_line.h"
#include "tests/commands/camera_fixture.h"
#include "tests/temp_path.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

constexpr uint32_t OBJECT = 5;

using LinkLevel = CommandsOnCamera;

TEST_F(LinkLevel, SerialProbeOpensChecksAndClosesTheLine) {
  // A camera that still listens at the line's first speed.
  sim::VirtualCamera fresh_camera;
  sim::SerialLineAttach(3, fresh_camera.Serial());
  // A link of LinkCreate would be released under the probe: refused.
  EXPECT_EQ(CameraProbeSerialLine(3, PROBE_OPEN, link_), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(LinkPortType(link_), 1);
  // Otherwise the probe releases every link of LinkCreate, the fixture's included.
  link_ = nullptr;
  CameraLink* probe = LinkCreateUnlisted();
  ASSERT_NE(probe, nullptr);
  ASSERT_EQ(CameraProbeSerialLine(3, PROBE_OPEN, probe), LINK_OK);
  EXPECT_EQ(LinkCurrentState(probe), LINK_STATE_READY);
  EXPECT_EQ(LinkPortType(probe), 3);
  EXPECT_NE(CameraGetComHandle(probe), nullptr);
  bool camera_answered = true;
  EXPECT_EQ(CameraProbeSerialLineChecked(3, PROBE_CHECK, camera_answered, probe), LINK_OK);
  EXPECT_FALSE(camera_answered);

  const std::array<uint8_t, 1> handshake{0x00};
  ASSERT_EQ(PortWrite(LinkPort(probe), handshake), 1);
  EXPECT_EQ(CameraProbeSerialLineChecked(3, PROBE_CHECK, camera_answered, probe), LINK_OK);
  EXPECT_TRUE(camera_answered);
  ASSERT_EQ(PortWrite(LinkPort(probe), handshake), 1);
  EXPECT_EQ(CameraProbeSerialLine(3, PROBE_CHECK, probe), LINK_ERROR_NAK) << "the older form";

  EXPECT_EQ(CameraProbeSerialLine(3, PROBE_CLOSE, probe), LINK_OK);
  EXPECT_EQ(CameraGetComHandle(probe), nullptr);
  EXPECT_EQ(CameraProbeSerialLine(3, PROBE_CHECK, probe), LINK_OK);
  EXPECT_EQ(CameraProbeSerialLine(3, 3, probe), LINK_ERROR_INVALID_ARGUMENT);

  // No camera on COM2: the line does not open.
  EXPECT_EQ(CameraProbeSerialLine(2, PROBE_OPEN, probe), LINK_ERROR_NO_PORT);
  EXPECT_EQ(LinkCurrentState(probe), LINK_STATE_CLOSED);
  // The no-operation entry point only records success over that failure.
  EXPECT_EQ(CameraNoOperation(7, 9, probe), LINK_OK);
  EXPECT_EQ(LinkLastError(probe), LINK_OK);
  EXPECT_EQ(LinkCurrentState(probe), LINK_STATE_CLOSED);
  LinkDelete(probe);
}

class ObjectFiles : public CommandsOnCamera {
 protected:
  void SetUp() override {
    CommandsOnCamera::SetUp();
    sim::SimObject object;
    object.data.resize(7000);
    for (size_t i = 0; i < object.data.size(); ++i) object.data[i] = static_cast<uint8_t>(i % 241);
    object.secondary.assign(900, 0x5C);
    vocabulary_.AddObject(OBJECT, object);
    object_ = object;
    path_ = test::UniqueTempPath("pelox_object");
  }
  void TearDown() override {
    std::filesystem::remove(path_);
    CommandsOnCamera::TearDown();
  }
  std::vector<uint8_t> FileBytes() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  sim::SimObject object_;
  std::filesystem::path path_;
};

TEST_F(ObjectFiles, ObjectAndSecondaryDataGoToTheFile) {
  uint32_t error = 0;
  FileHandle file = FileCreate(path_.string().c_str(), error);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(CameraReadObjectToFile(file, OBJECT, link_), LINK_OK);
  EXPECT_TRUE(FileClose(file));
  EXPECT_EQ(FileBytes(), object_.data);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_SET, 4, Le32Bytes(OBJECT)},
                                                      {CLASS_GET, 12, {}},
                                                      {CLASS_READ, DATA_KIND_OBJECT, {}}}));

  file = FileCreate(path_.string().c_str(), error);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(CameraReadSecondaryToFile(file, OBJECT, link_), LINK_OK);
  EXPECT_TRUE(FileClose(file));
  EXPECT_EQ(FileBytes(), object_.secondary);
}

TEST_F(LinkLevel, AnObjectReadStartsAgainFromTheSelectionAfterAReconnection) {
  sim::SimObject object;
  object.data.assign(5000, 0x77);
  vocabulary_.AddObject(OBJECT, object);
  // The camera goes away at the second data frame and comes back.
  camera_.Faults().Add({.kind = sim::FaultKind::CAMERA_GONE,
                        .target = sim::FaultTarget::READ_FRAME,
                        .id = DATA_KIND_OBJECT,
                        .occurrence = 2});
  std::vector<uint8_t> buffer(5000);
  ASSERT_EQ(CameraReadObject(buffer, OBJECT, link_), LINK_OK);
  EXPECT_EQ(buffer, object.data);
  const WireRequest select{CLASS_SET, 4, Le32Bytes(OBJECT)};
  const WireRequest size{CLASS_GET, 12, {}};
  const WireRequest read{CLASS_READ, DATA_KIND_OBJECT, {}};
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{select, size, read, select, size, read}));
}

}  // namespace
}  // namespace pelox
