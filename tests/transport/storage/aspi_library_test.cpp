#include "transport/storage/aspi/aspi_library.h"

#include <gtest/gtest.h>

#include "sim/storage/aspi_manager.h"

namespace pelox {
namespace {

class AspiLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::AspiManagerReset(); }
  void TearDown() override {
    AspiLibraryDropOperationsHold();
    while (AspiLibraryLoaded()) AspiLibraryRelease();
    sim::AspiManagerReset();
  }
};

TEST_F(AspiLibraryTest, StaysLoadedUntilTheLastLinkReleasesIt) {
  sim::AspiManagerInstall();
  ASSERT_TRUE(AspiLibraryLoad());
  ASSERT_TRUE(AspiLibraryLoad());
  EXPECT_EQ(sim::AspiManagerLoadCount(), 1);
  AspiLibraryRelease();
  EXPECT_TRUE(sim::AspiManagerLoaded());
  AspiLibraryRelease();
  EXPECT_FALSE(sim::AspiManagerLoaded());
  EXPECT_FALSE(AspiLibraryLoaded());
}

TEST_F(AspiLibraryTest, TheOperationsTableKeepsItLoadedAfterEveryLinkIsGone) {
  sim::AspiManagerInstall();
  ASSERT_TRUE(AspiLibraryHoldForOperations());
  ASSERT_TRUE(AspiLibraryLoad());
  AspiLibraryRelease();
  // A release without a matching load must not take the table's reference.
  AspiLibraryRelease();
  EXPECT_TRUE(sim::AspiManagerLoaded());
  EXPECT_EQ(AspiLibrarySupportInfo() >> 8, 1u);
  AspiLibraryDropOperationsHold();
  EXPECT_FALSE(sim::AspiManagerLoaded());
}

TEST_F(AspiLibraryTest, AMissingLibraryOrEntryPointIsNotLoaded) {
  EXPECT_FALSE(AspiLibraryLoad());
  sim::AspiManagerInstall({.support_info_entry_present = false});
  EXPECT_FALSE(AspiLibraryLoad());
  EXPECT_FALSE(AspiLibraryHoldForOperations());
  EXPECT_FALSE(AspiLibraryLoaded());
  // Without a library the entry points report failure instead of calling through.
  EXPECT_NE(AspiLibrarySupportInfo() >> 8, 1u);
}

}  // namespace
}  // namespace pelox
