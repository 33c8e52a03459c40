#include "link/packet.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "link/camera_link.h"

namespace pelox {
namespace {

std::vector<uint8_t> Command(std::span<const uint8_t> payload, uint8_t command,
                             Checksum checksum = Checksum::SUMMED) {
  std::vector<uint8_t> out(payload.size() + PACKET_OVERHEAD);
  EXPECT_EQ(BuildCommandFrame(payload, out, command, checksum), out.size());
  return out;
}

std::vector<uint8_t> Data(std::span<const uint8_t> payload, uint8_t type, uint8_t& tx_seq) {
  std::vector<uint8_t> out(payload.size() + PACKET_OVERHEAD);
  EXPECT_EQ(BuildDataFrame(payload, out, type, tx_seq), out.size());
  return out;
}

TEST(PacketBuild, CommandFramesMatchTheCameraVectors) {
  const std::array<uint8_t, 6> speed{REQUEST_SET, 17, 5, 0, 0, 0};
  EXPECT_EQ(Command(speed, COMMAND_SPEED),
            (std::vector<uint8_t>{0x1B, 0x53, 0x06, 0x00, 0x00, 0x11, 0x05, 0x00, 0x00, 0x00, 0x16,
                                  0x00}));
  const std::array<uint8_t, 2> get{REQUEST_GET, 18};
  EXPECT_EQ(Command(get, COMMAND_CAMERA),
            (std::vector<uint8_t>{0x1B, 0x43, 0x02, 0x00, 0x01, 0x12, 0x13, 0x00}));
}

TEST(PacketBuild, DataFramesTakeTheSequenceNumberAndWrapIt) {
  uint8_t tx_seq = 255;
  const std::array<uint8_t, 3> payload{0xFF, 0xFF, 0x03};
  const std::vector<uint8_t> last = Data(payload, FRAME_DATA_LAST, tx_seq);
  EXPECT_EQ(last[0], FRAME_DATA_LAST);
  EXPECT_EQ(last[1], 255);
  // The sum wraps at 16 bits only: 0xFF + 0xFF + 0x03 = 0x0201.
  EXPECT_EQ(last[7], 0x01);
  EXPECT_EQ(last[8], 0x02);
  EXPECT_EQ(tx_seq, 0);
  EXPECT_EQ(Data(payload, FRAME_DATA_MORE, tx_seq)[1], 0);
  EXPECT_EQ(tx_seq, 1);
}

TEST(PacketBuild, FramesWithoutChecksumEndWithFFFF) {
  const std::array<uint8_t, 4> payload{REQUEST_WRITE_LARGE, 29, 0x00, 0x00};
  const std::vector<uint8_t> packet = Command(payload, COMMAND_CAMERA, Checksum::OMITTED);
  EXPECT_EQ(packet[packet.size() - 2], 0xFF);
  EXPECT_EQ(packet[packet.size() - 1], 0xFF);
}

TEST(PacketBuild, RefusesAnOutputTooSmallForThePacket) {
  uint8_t tx_seq = 4;
  const std::array<uint8_t, 4> payload{};
  std::array<uint8_t, 9> out{};
  EXPECT_EQ(BuildCommandFrame(payload, out, COMMAND_CAMERA), 0u);
  EXPECT_EQ(BuildDataFrame(payload, out, FRAME_DATA_LAST, tx_seq), 0u);
  EXPECT_EQ(out, (std::array<uint8_t, 9>{})) << "nothing is written";
  EXPECT_EQ(tx_seq, 4) << "no sequence number is used up";
}

struct ParseCase {
  const char* name;
  std::vector<uint8_t> bytes;
  bool check_sum;
  uint8_t rx_seq;
  PacketVerdict verdict;
  uint8_t frame_type;
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

class PacketParse : public testing::TestWithParam<ParseCase> {};

TEST_P(PacketParse, GivesTheVerdictAndHandsBackTheTypeByte) {
  const ParseCase& c = GetParam();
  ParsedPacket parsed;
  EXPECT_EQ(ParsePacket(c.bytes, c.check_sum, c.rx_seq, parsed), c.verdict);
  EXPECT_EQ(parsed.has_type, !c.bytes.empty());
  EXPECT_EQ(parsed.frame_type, c.frame_type);
  if (c.verdict == PACKET_OK) {
    ASSERT_EQ(parsed.payload.size(), c.bytes.size() - PACKET_OVERHEAD);
    EXPECT_EQ(parsed.payload.data(), c.bytes.data() + PACKET_HEADER_SIZE);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, PacketParse,
    testing::Values(
        ParseCase{"GetReply", {0x03, 0, 4, 0, 1, 0, 0, 0, 1, 0}, true, 0, PACKET_OK, 0x03},
        ParseCase{"MoreFollows", {0x02, 5, 1, 0, 9, 9, 0}, true, 5, PACKET_OK, 0x02},
        ParseCase{"CommandIgnoresSequence", {0x1B, 0x43, 0, 0, 0, 0}, true, 9, PACKET_OK, 0x1B},
        ParseCase{
            "SequenceOneAhead", {0x03, 1, 1, 0, 9, 9, 0}, true, 0, PACKET_OUT_OF_SEQUENCE, 0x03},
        ParseCase{"BadChecksum", {0x03, 0, 1, 0, 9, 8, 0}, true, 0, PACKET_MALFORMED, 0x03},
        ParseCase{"ChecksumIgnored", {0x03, 0, 1, 0, 9, 8, 0}, false, 0, PACKET_OK, 0x03},
        ParseCase{"NakInPlace", {0x15, 0, 1, 0, 9, 9, 0}, true, 0, PACKET_MALFORMED, 0x15},
        ParseCase{"LengthTooLong", {0x03, 0, 2, 0, 9, 9, 0}, true, 0, PACKET_MALFORMED, 0x03},
        ParseCase{"LengthTooShort", {0x03, 0, 0, 0, 9, 9, 0}, true, 0, PACKET_MALFORMED, 0x03},
        ParseCase{"HeaderOnly", {0x02, 0, 0, 0}, true, 0, PACKET_MALFORMED, 0x02},
        ParseCase{"SingleByte", {0x11}, true, 0, PACKET_MALFORMED, 0x11},
        ParseCase{"Nothing", {}, true, 0, PACKET_MALFORMED, 0x00}),
    [](const testing::TestParamInfo<ParseCase>& param_info) { return param_info.param.name; });

}  // namespace
}  // namespace pelox
