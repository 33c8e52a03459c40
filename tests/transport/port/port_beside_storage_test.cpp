// The one-open-port rule between the storage pipe and the serial ports.
#include <gtest/gtest.h>

#include "sim/serial_line.h"
#include "tests/transport/storage/storage_camera.h"
#include "tests/transport/storage/variant_rig.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

TEST(PortBesideStorage, NoSerialPortOpensWhileTheStoragePipeIsOpen) {
  PortResetState();
  sim::SerialLineReset();
  test::VariantRig rig(test::Variant::SG_IO);
  test::StorageCamera storage_camera;
  rig.Attach(storage_camera.face);
  sim::VirtualCamera serial_camera;
  sim::SerialLineAttach(1, serial_camera.Serial());

  ASSERT_EQ(PortOpenStorage(PORT_TYPE_STORAGE, &rig.Link()), PORT_TYPE_STORAGE);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_STORAGE);
  PortState serial_link;
  EXPECT_EQ(PortOpenCom(1, 19200, 8, 4096, 4096, &serial_link), PORT_FAILED);
  EXPECT_EQ(serial_link.com_handle, nullptr);
  EXPECT_EQ(sim::SerialLineHostBaud(1), 0u) << "the device was never opened";

  EXPECT_EQ(PortClose(&rig.Link()), 1);
  EXPECT_EQ(PortOpenCom(1, 19200, 8, 4096, 4096, &serial_link), 1);
  EXPECT_EQ(PortClose(&serial_link), 1);
  sim::SerialLineReset();
  PortResetState();
}

}  // namespace
}  // namespace pelox
