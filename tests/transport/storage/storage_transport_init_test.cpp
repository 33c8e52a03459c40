#include <gtest/gtest.h>

#include "sim/storage/aspi_manager.h"
#include "sim/storage/os_version.h"
#include "transport/storage/aspi/aspi_library.h"
#include "transport/storage/storage_ops.h"

namespace pelox {
namespace {

class StorageTransportInitTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    StorageResetState();
    sim::AspiManagerReset();
    sim::SimOsVersionReset();
  }
  static int32_t InitOn(OsVersion version) {
    StorageResetState();
    sim::SimOsVersionSet(version);
    return StorageTransportInit(STORAGE_INIT_REQUEST);
  }
};

TEST_F(StorageTransportInitTest, TheSystemChoosesTheVariant) {
  sim::AspiManagerInstall();
  struct Case {
    OsVersion version;
    int32_t mode;
  };
  const Case cases[] = {
      {{OS_PLATFORM_WINDOWS_9X, 4, 10}, STORAGE_MODE_ASPI},          // 98
      {{OS_PLATFORM_WINDOWS_9X, 4, 90}, STORAGE_MODE_ASPI},          // Me
      {{OS_PLATFORM_WINDOWS_9X, 4, 0}, STORAGE_MODE_NONE},           // 95
      {{OS_PLATFORM_WINDOWS_NT, 4, 0}, STORAGE_MODE_NONE},           // NT 4
      {{OS_PLATFORM_WINDOWS_NT, 5, 0}, STORAGE_MODE_PASS_THROUGH},   // 2000
      {{OS_PLATFORM_WINDOWS_NT, 5, 1}, STORAGE_MODE_PASS_THROUGH},   // XP
      {{OS_PLATFORM_WINDOWS_NT, 10, 0}, STORAGE_MODE_PASS_THROUGH},  // today's Windows
      {{OS_PLATFORM_LINUX, 6, 1}, STORAGE_MODE_SG_IO},
      {{7, 1, 0}, STORAGE_MODE_NONE},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InitOn(c.version), 1);
    EXPECT_EQ(StorageMode(), c.mode)
        << c.version.platform_id << " " << c.version.major << "." << c.version.minor;
    EXPECT_EQ(StorageOpsTable().Open != nullptr, c.mode != STORAGE_MODE_NONE);
  }
}

TEST_F(StorageTransportInitTest, WithoutTheAspiLibraryThePipeStaysClosed) {
  for (const sim::AspiManagerSetup& setup :
       {sim::AspiManagerSetup{.library_present = false},
        sim::AspiManagerSetup{.send_entry_present = false},
        sim::AspiManagerSetup{.support_info_entry_present = false}}) {
    sim::AspiManagerReset();
    sim::AspiManagerInstall(setup);
    EXPECT_EQ(InitOn({OS_PLATFORM_WINDOWS_9X, 4, 10}), 0);
    EXPECT_EQ(StorageMode(), STORAGE_MODE_NONE);
    EXPECT_EQ(StorageOpsTable().Open, nullptr);
  }
}

TEST_F(StorageTransportInitTest, TheAspiTableHoldsTheLibraryUntilReset) {
  sim::AspiManagerInstall();
  ASSERT_EQ(InitOn({OS_PLATFORM_WINDOWS_9X, 4, 10}), 1);
  ASSERT_TRUE(AspiLibraryLoad());
  AspiLibraryRelease();  // the last link goes
  EXPECT_TRUE(sim::AspiManagerLoaded());
  StorageResetState();
  EXPECT_FALSE(sim::AspiManagerLoaded());
}

TEST_F(StorageTransportInitTest, OtherRequestsAndAnUnknownSystemChooseNothing) {
  sim::SimOsVersionSet(OsVersion{OS_PLATFORM_LINUX, 6, 1});
  EXPECT_EQ(StorageTransportInit(0), STORAGE_INIT_DONE);
  EXPECT_EQ(StorageTransportInit(2), STORAGE_INIT_DONE);
  EXPECT_EQ(StorageMode(), STORAGE_MODE_NONE);
  sim::SimOsVersionSet(std::nullopt);
  EXPECT_EQ(StorageTransportInit(STORAGE_INIT_REQUEST), STORAGE_INIT_DONE);
  EXPECT_EQ(StorageMode(), STORAGE_MODE_NONE);
}

}  // namespace
}  // namespace pelox
