// Session recordings: each one kept under tests/recordings replayed against
// the current uploader, a replay that diverges, and recordings made while
// the disk fills up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "sim/camera/wire.h"
#include "sim/replay/recording.h"
#include "tests/app/firmware_files.h"
#include "tests/system/camsim_process.h"
#include "tests/system/uploader_process.h"
#include "tools/firmware_sample.h"

namespace pelox {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr size_t HEADER_SIZE = 96;

sim::Recording Read(const fs::path& path) {
  std::string error;
  std::optional<sim::Recording> recording = sim::ReadRecording(path, error);
  EXPECT_TRUE(recording.has_value()) << error;
  return recording.value_or(sim::Recording{});
}

const sim::RecordedEvent* EndOf(const sim::Recording& recording) {
  const auto& events = recording.events;
  return !events.empty() && events.back().kind == sim::EventKind::END ? &events.back() : nullptr;
}

bool IsStorage(const sim::Recording& recording) {
  for (const sim::RecordedEvent& event : recording.events) {
    if (event.kind == sim::EventKind::SCSI) return true;
    if (event.kind == sim::EventKind::FROM) return false;
  }
  return false;
}

// The image the recording was made with: the sample payload behind the
// recorded header's version, at the recorded size.
void WriteRecordedImage(const json& image) {
  if (image["size"].is_null()) return;
  const std::string header = image["header"];
  const size_t start = header.find("VER=") + 4;
  const std::string version = header.substr(start, header.find_first_of("\r\n ", start) - start);
  const auto size = image["size"].get<size_t>();
  test::WriteFile(image["name"].get<std::string>(),
                  SampleFirmwareImage(version, SamplePayload(size - HEADER_SIZE)));
}

// The recorded options, on `port` when the recording went over a serial line.
std::string ArgumentsOf(const json& options, const std::string& port) {
  std::string arguments = port.empty() ? "" : " --port " + port;
  for (const char* flag : {"yes", "check", "list", "plain", "json", "quiet"}) {
    if (options[flag].get<bool>()) arguments += std::string(" --") + flag;
  }
  if (!options["speed_index"].is_null()) {
    arguments += " --speed " + std::to_string(sim::SPEED_TABLE.at(options["speed_index"]));
  }
  return arguments;
}

class Recordings : public ::testing::Test {
 protected:
  test::ScratchDirectory scratch_;
};

// The uploader, run as recorded against the recording's camera side, ends
// as the recorded run did; its own recording says how.
TEST_F(Recordings, EachReplaysToTheRecordedResult) {
  size_t replayed = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(RECORDINGS_DIR)) {
    if (entry.path().extension() != ".jsonl") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const sim::Recording recorded = Read(entry.path());
    const sim::RecordedEvent* recorded_end = EndOf(recorded);
    ASSERT_NE(recorded_end, nullptr);
    WriteRecordedImage(recorded.header["image"]);
    const json& options = recorded.header["options"];
    Outcome outcome;
    std::string verdict;
    if (IsStorage(recorded)) {
#ifdef HARNESS_PATH
      outcome =
          RunUploader(ArgumentsOf(options, {}) + " --record replayed.jsonl",
                      std::string(HARNESS_PATH) + " --replay " + entry.path().string() + " -- ");
      verdict = outcome.output;
#else
      continue;
#endif
    } else {
      Camsim camsim("--replay " + entry.path().string());
      outcome = RunUploader(ArgumentsOf(options, camsim.Path()) + " --record replayed.jsonl");
      verdict = camsim.Finish();
      EXPECT_EQ(camsim.ExitStatus(), 0) << verdict;
    }
    EXPECT_NE(verdict.find("replay matched"), std::string::npos) << verdict << outcome.output;
    const sim::Recording replayed_run = Read("replayed.jsonl");
    const sim::RecordedEvent* end = EndOf(replayed_run);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(outcome.exit_status, recorded_end->exit_status) << outcome.output;
    EXPECT_EQ(end->exit_status, recorded_end->exit_status);
    EXPECT_EQ(end->cause, recorded_end->cause);
    ++replayed;
  }
  EXPECT_GE(replayed, 5U);
}

// An uploader that asks for another speed than the recorded one sends
// other bytes: the replay names the first, and the camera stops answering.
TEST_F(Recordings, ReplayStopsAtTheFirstDivergenceWithItsOffsetAndBytes) {
  const fs::path fixture = fs::path(RECORDINGS_DIR) / "serial-115200.jsonl";
  const sim::Recording recorded = Read(fixture);
  WriteRecordedImage(recorded.header["image"]);
  Camsim camsim("--replay " + fixture.string());
  const Outcome outcome = RunUploader("--plain --yes --speed 230400 --port " + camsim.Path());
  const std::string verdict = camsim.Finish();
  EXPECT_EQ(camsim.ExitStatus(), 1);
  // The speed request's index: 5 recorded, 6 sent.
  EXPECT_TRUE(std::regex_search(verdict, std::regex("first divergence at host byte [0-9]+ \\(line "
                                                    "[0-9]+ of the recording\\): expected 05 "
                                                    "[0-9a-f ]+\\.\\.\\., got 06 ")))
      << verdict;
  EXPECT_NE(outcome.exit_status, recorded.events.back().exit_status) << outcome.output;
}

// A recording that cannot be written stops with a warning; the update runs
// on and ends as it would have, and what was written reads back.
TEST_F(Recordings, AFullDiskStopsTheRecordingAndNeverTheUpdate) {
  test::WriteFile("Firmware.bin", SampleFirmwareImage("v517-1.10", SamplePayload(30000)));
  for (const auto& [record_to, limit] :
       {std::pair{"/dev/full", ""}, std::pair{"cut.jsonl", "ulimit -f 8 && "}}) {
    SCOPED_TRACE(record_to);
    Camsim camsim("--flash-busy-ms 800");
    const Outcome outcome = RunUploader(
        std::string("--plain --yes --record ") + record_to + " --port " + camsim.Path(), limit);
    EXPECT_EQ(outcome.exit_status, 0) << outcome.output;
    EXPECT_NE(outcome.output.find("Writing Firmware is complete."), std::string::npos);
    EXPECT_NE(outcome.output.find(std::string("warning: the recording ") + record_to + " stopped"),
              std::string::npos)
        << outcome.output;
    EXPECT_NE(camsim.Finish().find("was flashed"), std::string::npos);
  }
  const sim::Recording cut = Read("cut.jsonl");
  EXPECT_FALSE(cut.events.empty());
  EXPECT_EQ(EndOf(cut), nullptr);
}

}  // namespace
}  // namespace pelox
