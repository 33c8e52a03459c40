// The phases of reads and writes, byte for byte, through every variant.
#include "transport/storage/pipe_phases.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <numeric>
#include <vector>

#include "sim/storage/aspi_manager.h"
#include "sim/virtual_clock.h"
#include "tests/transport/storage/recording_device.h"
#include "tests/transport/storage/variant_rig.h"
#include "transport/port/port.h"
#include "transport/storage/storage_ops.h"

namespace pelox::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Bytes = std::vector<uint8_t>;

Bytes Cdb(uint8_t opcode, uint8_t length, uint8_t flag = 0) {
  return {opcode, 0, 0, 0, 0, 0, 0, 0, 0, length, 0, 0, flag, 0, 0, 0};
}

const Bytes COMMAND_BLOCK{0x10, 0, 0, 0, 1, 0, 0xFF, 0x9F, 0, 0, 0, 0, 0, 0, 0, 0};

class PipePhasesTest : public ::testing::TestWithParam<Variant> {
 protected:
  void OpenWith(const std::string& vendor) {
    camera_ = std::make_unique<RecordingDevice>(vendor);
    rig_.Attach(*camera_);
    ASSERT_EQ(rig_.Open(), PORT_TYPE_STORAGE);
    camera_->ClearPipe();
  }
  int32_t Write(const Bytes& data) { return StorageOpsTable().Write(&rig_.Link(), data); }
  int32_t Read(std::span<uint8_t> buffer, int32_t timeout = 3) {
    return StorageOpsTable().Read(&rig_.Link(), buffer, timeout);
  }

  VariantRig rig_{GetParam()};
  std::unique_ptr<RecordingDevice> camera_;
};

TEST_P(PipePhasesTest, AWriteToAPeloxCameraSendsTheThreePhasesByteForByte) {
  OpenWith("PELOX");
  const Bytes packet{0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  EXPECT_EQ(Write(packet), 1);

  const auto& pipe = camera_->Pipe();
  ASSERT_EQ(pipe.size(), 3u);
  EXPECT_EQ(pipe[0].cdb, Cdb(0xE0, 0x10));
  EXPECT_EQ(pipe[0].data_out, COMMAND_BLOCK);
  EXPECT_EQ(pipe[1].cdb, Cdb(0xE1, 0x46));
  Bytes phase(70, 0);
  phase[0] = 0x46;
  phase[4] = 0x02;
  std::copy(packet.begin(), packet.end(), phase.begin() + 64);
  EXPECT_EQ(pipe[1].data_out, phase);
  EXPECT_EQ(pipe[2].cdb, Cdb(0xE3, 0x0E));
  EXPECT_EQ(pipe[2].direction, sim::DataDirection::IN);
  EXPECT_EQ(pipe[2].length, 14u);
}

TEST_P(PipePhasesTest, AnOlympusCameraTakesItsOwnCodesAndAFlaggedCdb) {
  OpenWith("OLYMPUS");
  EXPECT_EQ(Write({1, 2, 3, 4, 5, 6}), 1);
  const auto& pipe = camera_->Pipe();
  ASSERT_EQ(pipe.size(), 3u);
  EXPECT_EQ(pipe[0].cdb, Cdb(0xC0, 0x10, 1));
  EXPECT_EQ(pipe[0].data_out, COMMAND_BLOCK);
  EXPECT_EQ(pipe[1].cdb, Cdb(0xC1, 0x46, 1));
  EXPECT_EQ(pipe[2].cdb, Cdb(0xC3, 0x0E, 1));
}

TEST_P(PipePhasesTest, AReadFetchesTheAnnouncedLengthAndDeliversWhatFits) {
  OpenWith("PELOX");
  camera_->answer_length = 74;
  camera_->reply.resize(10);
  std::iota(camera_->reply.begin(), camera_->reply.end(), uint8_t{0x30});
  std::array<uint8_t, 100> buffer{};
  EXPECT_EQ(Read(buffer), 10);
  EXPECT_TRUE(std::equal(camera_->reply.begin(), camera_->reply.end(), buffer.begin()));
  EXPECT_EQ(buffer[10], 0) << "nothing past the answer is written";

  const auto& pipe = camera_->Pipe();
  ASSERT_EQ(pipe.size(), 4u);
  EXPECT_EQ(pipe[0].cdb, Cdb(0xE0, 0x10));
  EXPECT_EQ(pipe[1].cdb, Cdb(0xE4, 0x10));
  EXPECT_EQ(pipe[1].length, 16u);
  EXPECT_EQ(pipe[2].cdb, Cdb(0xE2, 0x4A));
  EXPECT_EQ(pipe[2].length, 74u);
  EXPECT_EQ(pipe[3].cdb, Cdb(0xE3, 0x0E));

  // A smaller buffer takes the first bytes; the rest of the answer is lost.
  std::array<uint8_t, 4> small{};
  EXPECT_EQ(Read(small), 4);
  EXPECT_THAT(small, ElementsAre(0x30, 0x31, 0x32, 0x33));
}

TEST_P(PipePhasesTest, AnAnswerOfOnlyTheHeaderDeliversNothing) {
  OpenWith("PELOX");
  camera_->answer_length = 64;
  std::array<uint8_t, 8> buffer{};
  EXPECT_EQ(Read(buffer), 0);
  EXPECT_EQ(camera_->Pipe().size(), 4u);
}

TEST_P(PipePhasesTest, AnAnswerShorterThanTheHeaderOrLongerThanAnyFrameIsMalformed) {
  OpenWith("PELOX");
  std::array<uint8_t, 8> buffer{};
  for (uint32_t length : {0u, 10u, 63u, 32774u + 64u + 1u, 0xFFFFFFFFu}) {
    camera_->ClearPipe();
    camera_->answer_length = length;
    EXPECT_EQ(Read(buffer), PORT_SCSI_ERROR) << "T = " << length;
    // No data phase is asked for a length the camera cannot mean.
    EXPECT_EQ(camera_->Pipe().size(), 2u) << "T = " << length;
  }
  EXPECT_THAT(buffer, ElementsAre(0, 0, 0, 0, 0, 0, 0, 0));
  camera_->answer_length = 32774 + 64;
  camera_->ClearPipe();
  EXPECT_EQ(Read(buffer), 8) << "the largest frame is taken";
}

TEST_P(PipePhasesTest, ADeviceThatDoesNotRespondFailsTheTransfer) {
  OpenWith("PELOX");
  for (size_t phase = 0; phase < 3; ++phase) {
    camera_->fail_command = camera_->Pipe().size() + phase;
    EXPECT_EQ(Write({1}), PORT_TRANSFER_FAILED) << "write phase " << phase;
  }
  std::array<uint8_t, 8> buffer{};
  camera_->answer_length = 70;
  for (size_t phase = 0; phase < 3; ++phase) {
    camera_->fail_command = camera_->Pipe().size() + phase;
    EXPECT_EQ(Read(buffer), PORT_TRANSFER_FAILED) << "read phase " << phase;
  }
}

TEST_P(PipePhasesTest, AFailedStatusAfterTheDataFailsAReadOnlyThroughAspi) {
  OpenWith("PELOX");
  camera_->answer_length = 70;
  camera_->fail_command = 3;
  std::array<uint8_t, 8> buffer{};
  const int32_t expected = GetParam() == Variant::ASPI ? PORT_TRANSFER_FAILED : 6;
  EXPECT_EQ(Read(buffer), expected);
}

TEST_P(PipePhasesTest, ARefusedCommandIsAScsiErrorInEveryVariant) {
  OpenWith("PELOX");
  camera_->fail_command = 1;
  camera_->failure = sim::ScsiOutcome::CHECK_CONDITION;
  // The data-out was not taken, so no status phase follows; the device's
  // status and sense are kept until a command succeeds.
  EXPECT_EQ(Write({1, 2}), PORT_SCSI_ERROR);
  EXPECT_EQ(camera_->Pipe().size(), 2u);
  const ScsiRefusal& refusal = rig_.Link().refusal;
  EXPECT_EQ(refusal.scsi_status, 2);
  EXPECT_THAT(std::span(refusal.sense).first(refusal.sense_length),
              ElementsAreArray(sim::REFUSAL_SENSE));
  EXPECT_EQ(Write({1, 2}), 1);
  EXPECT_EQ(refusal.sense_length, 0);
  // Nor is a refusal told as the cause of a later failure of another kind.
  camera_->fail_command = camera_->Pipe().size() + 1;
  EXPECT_EQ(Write({1, 2}), PORT_SCSI_ERROR);
  camera_->fail_command = camera_->Pipe().size();
  camera_->failure = sim::ScsiOutcome::NO_RESPONSE;
  EXPECT_EQ(Write({1, 2}), PORT_TRANSFER_FAILED);
  EXPECT_EQ(refusal.sense_length, 0);
}

TEST(PipeCompletion, OnlyACompletedCommandGoesOn) {
  EXPECT_EQ(PipeResultOfCompletion(PIPE_COMPLETION_DONE), PIPE_GO_ON);
  EXPECT_EQ(PipeResultOfCompletion(PIPE_COMPLETION_SCSI_ERROR), PORT_SCSI_ERROR);
  // Aborted, and ASPI's "no device" and "invalid request".
  for (const int32_t status : std::initializer_list<int32_t>{PIPE_COMPLETION_FAILED, 0x82, 0xE0}) {
    EXPECT_EQ(PipeResultOfCompletion(status), PORT_TRANSFER_FAILED) << status;
  }
}

TEST_P(PipePhasesTest, CloseSendsTheMakersCloseCommandOnlyToMakersThatTakeOne) {
  OpenWith("PELOX");
  EXPECT_EQ(StorageOpsTable().Close(&rig_.Link()), 1);
  ASSERT_EQ(camera_->Pipe().size(), 1u);
  EXPECT_EQ(camera_->Pipe()[0].cdb, Cdb(0xE5, 0));
  EXPECT_EQ(camera_->Pipe()[0].direction, sim::DataDirection::NONE);

  for (const char* vendor : {"OLYMPUS", "SANYO"}) {
    VariantRig rig(GetParam());
    RecordingDevice camera(vendor);
    rig.Attach(camera);
    ASSERT_EQ(rig.Open(), PORT_TYPE_STORAGE);
    camera.ClearPipe();
    EXPECT_EQ(StorageOpsTable().Close(&rig.Link()), 1);
    EXPECT_TRUE(camera.Pipe().empty()) << vendor;
  }
}

TEST_P(PipePhasesTest, EachMakerHasItsOwnOperationCodes) {
  struct MakerCodes {
    const char* vendor;
    std::array<uint8_t, 6> codes;  // command, data-out, data-in, status, answer, close
    uint8_t flag;
  };
  const std::array<MakerCodes, 5> makers{{
      {"OLYMPUS", {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5}, 1},
      {"EPSON", {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5}, 0},
      {"PELOX", {0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5}, 0},
      {"MINOLTA", {0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD}, 0},
      {"SANYO", {0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5}, 1},
  }};
  for (const MakerCodes& maker : makers) {
    VariantRig rig(GetParam());
    RecordingDevice camera(maker.vendor);
    camera.answer_length = 65;
    rig.Attach(camera);
    ASSERT_EQ(rig.Open(), PORT_TYPE_STORAGE);
    camera.ClearPipe();
    std::array<uint8_t, 1> byte{};
    ASSERT_EQ(StorageOpsTable().Write(&rig.Link(), std::array<uint8_t, 1>{6}), 1);
    ASSERT_EQ(StorageOpsTable().Read(&rig.Link(), byte, 1), 1);
    std::vector<uint8_t> sent;
    for (const auto& command : camera.Pipe()) {
      sent.push_back(command.cdb[0]);
      EXPECT_EQ(command.cdb[12], maker.flag) << maker.vendor;
    }
    const auto& c = maker.codes;
    EXPECT_THAT(sent, ElementsAre(c[0], c[1], c[3], c[0], c[4], c[2], c[3])) << maker.vendor;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryVariant, PipePhasesTest, EVERY_VARIANT, VariantTestName);

}  // namespace
}  // namespace pelox::test
