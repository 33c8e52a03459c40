#include "app/companion_monitor.h"

#include <gtest/gtest.h>

#include "tests/app/fake_companion_system.h"

namespace pelox {
namespace {

using test::Companion;

class CompanionMonitor : public ::testing::Test {
 protected:
  void SetUp() override { Companion() = {}; }
};

TEST_F(CompanionMonitor, MatchesTheMonitorByItsPathEndingInAnyCase) {
  const std::vector<ProcessEntry> processes = {
      {10, "C:\\Program Files\\Pelox\\pxvwmon.exe"}, {11, "EXPLORER.EXE"}, {12, "MON.EXE"}};
  EXPECT_EQ(CompanionProcessesToEnd(processes), std::vector<uint32_t>{10});
}

TEST_F(CompanionMonitor, MatchesTheBareMonitorNameOnlyAsTheWholeName) {
  EXPECT_EQ(CompanionProcessesToEnd(std::vector<ProcessEntry>{{20, "PxvMon.exe"}}),
            std::vector<uint32_t>{20});
  EXPECT_TRUE(
      CompanionProcessesToEnd(std::vector<ProcessEntry>{{21, "C:\\Pelox\\PXVMON.EXE"}}).empty());
}

TEST_F(CompanionMonitor, EndsTheLaterOfTwoViewersAfterTheMonitor) {
  Companion().processes = {{30, "PELOXVIEW.EXE"},
                           {31, "D:\\Apps\\PeloxView.exe"},
                           {32, "PXVWMON.EXE"},
                           {33, "XVIEW.EXE"}};
  TerminateMonitorProcesses();
  EXPECT_EQ(Companion().terminated, (std::vector<uint32_t>{32, 31}));
}

TEST_F(CompanionMonitor, LeavesASystemWithoutCompanionSoftwareAlone) {
  Companion().processes = {{1, "SYSTEM"}, {2, ""}, {3, "EXE"}};
  TerminateMonitorProcesses();
  CloseMonitorWindow();
  EXPECT_TRUE(Companion().terminated.empty());
  EXPECT_TRUE(Companion().close_requests.empty());
}

TEST_F(CompanionMonitor, AsksTheRecordedWindowToClose) {
  Companion().monitor_key_values = {{"Class", "PxvMonitorClass"}, {"Title", "Pelox Monitor"}};
  CloseMonitorWindow();
  EXPECT_EQ(Companion().close_requests, std::vector<std::string>{"PxvMonitorClass|Pelox Monitor"});
}

TEST_F(CompanionMonitor, SendsNoCloseRequestWithoutATitle) {
  Companion().monitor_key_values = {{"Class", "PxvMonitorClass"}};
  CloseMonitorWindow();
  EXPECT_TRUE(Companion().close_requests.empty());
}

}  // namespace
}  // namespace pelox
