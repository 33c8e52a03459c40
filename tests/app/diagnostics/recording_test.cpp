// Session recordings: what the writer keeps and leaves out, read back by
// the replay's reader, and how a replay judges the host's bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "app/diagnostics/payload_redaction.h"
#include "app/diagnostics/recording_lines.h"
#include "sim/replay/scsi_replay.h"
#include "sim/replay/serial_replay.h"
#include "tests/temp_path.h"

namespace pelox {
namespace {

using Bytes = std::vector<uint8_t>;

// A data frame: type, sequence, length, payload, sum of the payload.
Bytes DataFrame(uint8_t sequence, const Bytes& payload) {
  Bytes frame{0x02, sequence, static_cast<uint8_t>(payload.size()), 0};
  frame.insert(frame.end(), payload.begin(), payload.end());
  uint16_t sum = 0;
  for (const uint8_t byte : payload) sum = static_cast<uint16_t>(sum + byte);
  frame.push_back(static_cast<uint8_t>(sum));
  frame.push_back(static_cast<uint8_t>(sum >> 8));
  return frame;
}

Bytes Payload(size_t size, uint8_t seed) {
  Bytes payload(size);
  for (size_t i = 0; i < size; ++i) payload[i] = static_cast<uint8_t>(seed + i * 7);
  return payload;
}

class RecordingFile : public ::testing::Test {
 protected:
  // Writes the lines after a header of `version` and reads them back.
  std::optional<sim::Recording> WriteAndRead(const std::vector<nlohmann::json>& lines,
                                             const std::string& version = "1.0") {
    UploaderOptions options;
    options.ports = {"/home/someone/dev/ttyUSB0"};
    options.device = "/dev/sg3";
    nlohmann::json header =
        RecordingHeader(options, {"Firmware.bin", 4196, "LENGTH=4100\nVER=v1"}, "2026-01-01");
    header["version"] = version;
    std::ofstream file(path_.string());
    file << RecordingLine(header);
    for (const nlohmann::json& line : lines) file << RecordingLine(line);
    file.close();
    return sim::ReadRecording(path_.string(), error_);
  }

  void TearDown() override { std::filesystem::remove(path_); }

  std::filesystem::path path_ = test::UniqueTempPath("recording");
  std::string error_;
};

TEST_F(RecordingFile, KeepsBaseNamesAndLeavesThePayloadOutOfWhatItReadsBack) {
  const Bytes payload = Payload(100, 3);
  PayloadRedaction redaction(payload);
  const Bytes first = DataFrame(0, Bytes(payload.begin(), payload.begin() + 60));
  const Bytes second = DataFrame(1, Bytes(payload.begin() + 60, payload.end()));
  std::vector<nlohmann::json> lines;
  for (const Bytes& frame : {first, first, second}) {  // the first frame is sent again
    const std::optional<PayloadRun> run = redaction.Find(frame);
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->at, 4U);
    lines.push_back(SerialBytesEvent(0.5, TraceDirection::TO_DEVICE, frame, run));
  }
  lines.push_back(EndEvent(1.0, 0, "written", "serial"));
  const std::optional<sim::Recording> recording = WriteAndRead(lines);
  ASSERT_TRUE(recording.has_value()) << error_;
  const std::string header = recording->header.dump();
  EXPECT_EQ(header.find("/home"), std::string::npos) << header;
  EXPECT_NE(header.find("\"ttyUSB0\""), std::string::npos) << header;
  EXPECT_EQ(recording->events[2].left_out->size, 40U);
  EXPECT_EQ(recording->events[2].bytes.size(), second.size());
  EXPECT_EQ(lines[0].dump().find(HexOf(std::span(payload).first(16))), std::string::npos);
}

TEST_F(RecordingFile, ReadsAnOlderOrNewerMinorAndRefusesANewerMajor) {
  EXPECT_TRUE(WriteAndRead({}, "0.9").has_value()) << error_;
  EXPECT_TRUE(WriteAndRead({{{"t", 0}, {"ev", "later-kind"}}}, "1.7").has_value()) << error_;
  EXPECT_FALSE(WriteAndRead({}, "2.0").has_value());
  EXPECT_NE(error_.find("format 2.0, newer than this camsim reads (1.x)"), std::string::npos)
      << error_;
  EXPECT_FALSE(WriteAndRead({{{"t", 0}, {"ev", "to"}, {"hex", "0g"}}}).has_value());
}

// The camera side of a request and its reply, the request sent as one frame.
class SerialReplayJudging : public RecordingFile {
 protected:
  sim::Recording Recorded(const Bytes& request, bool payload_left_out) {
    const PayloadRun run{4, 0, request.size() - 6};
    const std::optional<sim::Recording> recording = WriteAndRead(
        {SerialSpeedEvent(0, 115200),
         SerialBytesEvent(0.1, TraceDirection::TO_DEVICE, request,
                          payload_left_out ? std::optional(run) : std::nullopt),
         SerialBytesEvent(0.2, TraceDirection::FROM_DEVICE, Bytes{0x06}, std::nullopt)});
    EXPECT_TRUE(recording.has_value()) << error_;
    return recording.value_or(sim::Recording{});
  }
};

TEST_F(SerialReplayJudging, AnswersWhateverTheSplitAndNamesTheFirstDivergence) {
  const Bytes request = DataFrame(5, Payload(8, 1));
  {
    sim::SerialReplay replay(Recorded(request, false), {});
    EXPECT_TRUE(replay.Receive(std::span(request).first(3)));
    EXPECT_FALSE(replay.TakeReady(115200).has_value());  // not the whole request yet
    EXPECT_TRUE(replay.Receive(std::span(request).subspan(3)));
    EXPECT_TRUE(replay.WaitingForSpeed(230400));
    EXPECT_EQ(replay.TakeReady(115200), Bytes{0x06});
    EXPECT_TRUE(replay.Complete());
    EXPECT_FALSE(replay.Receive(Bytes{0x06}));
    EXPECT_NE(replay.Divergence().find("1 bytes more than recorded at byte 14: got 06"),
              std::string::npos)
        << replay.Divergence();
  }
  Bytes changed = request;
  changed[6] ^= 0xFF;
  sim::SerialReplay replay(Recorded(request, false), {});
  EXPECT_FALSE(replay.Receive(changed));
  EXPECT_NE(replay.Divergence().find("host byte 6 (line 3 of the recording): expected 0f "),
            std::string::npos)
      << replay.Divergence();
  EXPECT_FALSE(replay.TakeReady(115200).has_value());
}

TEST_F(SerialReplayJudging, ToleratesOnlyWhatItIsToldVariesBetweenRuns) {
  const Bytes request = DataFrame(5, Payload(8, 1));
  const Bytes renumbered = DataFrame(9, Payload(8, 1));
  const Bytes other_image = DataFrame(5, Payload(8, 40));
  struct Case {
    const Bytes& sent;
    bool payload_left_out;
    sim::ReplayTolerance tolerance;
    bool accepted;
  };
  for (const Case& entry :
       {Case{renumbered, false, {}, false}, Case{renumbered, false, {true, false}, true},
        Case{other_image, false, {false, true}, false}, Case{other_image, true, {}, false},
        Case{other_image, true, {false, true}, true}}) {
    sim::SerialReplay replay(Recorded(request, entry.payload_left_out), entry.tolerance);
    EXPECT_EQ(replay.Receive(entry.sent), entry.accepted) << replay.Divergence();
  }
}

TEST_F(RecordingFile, ScsiReplayAnswersAsRecordedUntilACommandDiffers) {
  const Bytes cdb{0xC1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10};
  const Bytes answer{1, 2, 3, 4};
  const std::optional<sim::Recording> recording = WriteAndRead(
      {ScsiEvent(0.1, {"/dev/sg0", cdb, TraceDirection::FROM_DEVICE, true, answer, 1, 0, {}}, {}),
       ScsiEvent(0.2, {"/dev/sg0", cdb, TraceDirection::FROM_DEVICE, true, answer, 4, 2, {}}, {})});
  ASSERT_TRUE(recording.has_value()) << error_;
  sim::ScsiReplay replay(*recording, {});
  Bytes data(4);
  EXPECT_EQ(replay.Execute("sg0", {cdb, data, sim::DataDirection::IN}), sim::ScsiOutcome::GOOD);
  EXPECT_EQ(data, answer);
  Bytes other = cdb;
  other[15] = 0x20;
  EXPECT_EQ(replay.Execute("sg0", {other, data, sim::DataDirection::IN}),
            sim::ScsiOutcome::NO_RESPONSE);
  EXPECT_NE(replay.Divergence().find("SCSI command 2 (line 3 of the recording): first divergence "
                                     "at CDB byte 15: expected 10, got 20"),
            std::string::npos)
      << replay.Divergence();
  EXPECT_FALSE(replay.Complete());
}

}  // namespace
}  // namespace pelox
