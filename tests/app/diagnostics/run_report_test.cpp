// The run's diagnostics: the line output and the link's events in words.
#include "app/diagnostics/run_report.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/diagnostics/link_event_text.h"
#include "app/resources/strings.h"
#include "link/camera_link.h"
#include "link/link_events.h"

namespace pelox {
namespace {

LinkEvent Acknowledged(uint64_t bytes) {
  LinkEvent event;
  event.kind = LinkEventKind::BYTES_ACKNOWLEDGED;
  event.bytes = bytes;
  event.total = 1000;
  return event;
}

LinkEvent Resent(int32_t try_number, uint32_t frame, bool nak, uint32_t silent_ms) {
  LinkEvent event = TryEvent(LinkEventKind::FRAME_SENT_AGAIN, try_number, 4, silent_ms);
  event.frame = frame;
  event.nak = nak;
  return event;
}

TEST(RunReport, PrintsMessagesLineByLineAndAcknowledgedBytesInTens) {
  RunReport report(ReportStyle::PLAIN, 0);
  report.SetImageSize(1000);
  report.EnterPhase({UpdatePhase::TRANSFERRING}, 0);
  std::vector<std::string> lines =
      report.Message(STR_UPLOADING, "Uploading...\nDO NOT TURN CAMERA OFF!", 0);
  // The bar's percent alone is no count of bytes.
  EXPECT_TRUE(report.Progress(40, 500).empty());
  for (const uint64_t bytes : std::vector<uint64_t>{0, 30, 90, 100, 150, 270, 1000}) {
    for (std::string& line : report.Link(Acknowledged(bytes), 1000)) lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 5U) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[1], "DO NOT TURN CAMERA OFF!");
  EXPECT_EQ(lines[2].rfind("Progress: 10% (100 of 1000 bytes", 0), 0U) << lines[2];
  EXPECT_EQ(lines[4].rfind("Progress: 100% (1000 of 1000 bytes, 1.0 kB/s", 0), 0U) << lines[4];
  EXPECT_EQ(report.BarPercent(1000), 40);
}

TEST(RunReport, ShowsAStallInsteadOfTimeLeftAndARecentRate) {
  RunReport report(ReportStyle::PLAIN, 0);
  report.SetImageSize(1000);
  report.EnterPhase({UpdatePhase::TRANSFERRING}, 0);
  report.Message(STR_UPLOADING, "Uploading...", 0);
  report.Link(Acknowledged(100), 1000);
  report.Link(Acknowledged(200), 2000);
  EXPECT_EQ(report.Status(3000), "(200 of 1000 bytes, 0.1 kB/s, 8 s left)");
  EXPECT_EQ(report.Status(5500), "(200 of 1000 bytes, waiting for the camera: no answer for 3 s)");
  // After a stall the rate is the recent one, not the run's average.
  report.Link(Acknowledged(300), 20000);
  report.Link(Acknowledged(700), 21000);
  EXPECT_EQ(report.Status(21000), "(700 of 1000 bytes, 0.4 kB/s, 0 s left)");
}

TEST(RunReport, CountsTheWriteWaitInSecondsAndNeverGoesQuietForLong) {
  RunReport report(ReportStyle::PLAIN, 0);
  report.EnterPhase({UpdatePhase::WRITING, RunCause::NONE, true}, 0);
  EXPECT_EQ(report.Message(STR_WRITING, "Writing Firmware...", 0),
            std::vector<std::string>{"Writing Firmware..."});
  // The busy bar alternating is no progress.
  EXPECT_TRUE(report.Progress(100, 500).empty());
  EXPECT_TRUE(report.Tick(4000).empty());
  EXPECT_EQ(report.Tick(5000),
            std::vector<std::string>{"Waiting for the camera: 5 s of at most 60 s"});
  EXPECT_EQ(report.BarPercent(30000), 50);
  report.EnterPhase({UpdatePhase::ENDED, RunCause::WRITTEN, true}, 35000);
  report.Message(STR_WRITE_COMPLETE, "Writing Firmware is complete.", 35000);
  EXPECT_EQ(report.BarPercent(35000), 100);
}

TEST(LinkEventText, TellsResendsWaitsAndReconnectionsWithTheirTryCount) {
  const std::vector<std::pair<LinkEvent, std::string>> events = {
      {Resent(2, 14, false, 3600),
       "no answer from the camera for 3.6 s, frame 14 sent again, try 2 of 4"},
      {Resent(3, 0, true, 10), "the camera answered NAK, the request sent again, try 3 of 4"},
      {TryEvent(LinkEventKind::STILL_WAITING, 2, 5, 7200),
       "no answer from the camera for 7.2 s, waiting again, read 2 of 5"},
      {TryEvent(LinkEventKind::RECONNECTING, 1, 4),
       "the camera went away; connecting again, try 1 of 4"},
      {Acknowledged(10), ""},
  };
  for (const auto& [event, line] : events) {
    EXPECT_EQ(LinkEventLine(event), line);
    EXPECT_EQ(LinkEventJson(event).is_null(), line.empty()) << line;
  }
}

TEST(LinkEventText, DecodesEachFrameForTheTraceAndSurvivesACutOne) {
  const std::vector<std::pair<std::vector<uint8_t>, std::string>> frames = {
      {{0x1B, 0x43, 2, 0, 1, 18, 19, 0}, "frame out: command C, 2 bytes, get property 18"},
      {{0x1B, 0x43, 2, 0, 5, 29, 34, 0},
       "frame out: command C, 2 bytes, write data kind 29 in large blocks"},
      {{0x03, 7, 0, 8, 0xFF, 0xFF}, "frame out: data-last #7, 2048 bytes"},
      {{0x1B, 0x53, 1, 0}, "frame out: command S, 1 bytes"},
      {{0x1B, 0x43}, "frame out: cut short, 2 bytes"},
      {{0x42, 0, 0, 0, 0, 0}, "frame out: unknown type 66, 0 bytes"},
  };
  for (const auto& [packet, line] : frames) EXPECT_EQ(FrameTraceLine(true, packet), line);
}

}  // namespace
}  // namespace pelox
