// Each exchange against the virtual camera in virtual time: success,
// recovery from the camera's refusals, lost and damaged replies, the camera
// going away, and the end of the reconnection budget.
#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <vector>

#include "link/camera_link.h"
#include "serial_camera_fixture.h"
#include "tests/byte_pattern.h"

namespace pelox {
namespace {

using sim::FaultKind;
using sim::FaultTarget;

constexpr uint8_t PROPERTY_BATTERY = 16;
constexpr uint8_t PROPERTY_UPLOAD_KEY = 32;
constexpr uint32_t UPLOAD_KEY = 0x05A3C7D1;
constexpr uint8_t ACTION_TEST = 40;
constexpr uint32_t ACTION_BUSY_MS = 2000;
constexpr uint8_t KIND_READ = 60;
constexpr uint8_t KIND_WRITE = 31;
constexpr size_t DATA_SIZE = 5000;
constexpr uint8_t REQUEST_SET_CLASS = 0;
constexpr uint8_t REQUEST_GET_CLASS = 1;
constexpr uint8_t REQUEST_ACTION_CLASS = 2;
constexpr uint8_t REQUEST_READ_CLASS = 4;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t ACK = 0x06;
// Far more than any budget lets the host sit through.
constexpr uint32_t ALWAYS = 100;

using test::Pattern;

class ExchangeTest : public SerialCameraTest {
 protected:
  void SetUp() override {
    SerialCameraTest::SetUp();
    camera.Model().RegisterAction(ACTION_TEST,
                                  [](uint8_t, uint64_t) { return std::optional(ACTION_BUSY_MS); });
    camera.Model().RegisterReadableKind(KIND_READ,
                                        [](uint64_t) { return std::optional(Pattern(DATA_SIZE)); });
    camera.Model().RegisterWritableKind(KIND_WRITE,
                                        [this](std::span<const uint8_t> data, uint64_t) {
                                          written.emplace_back(data.begin(), data.end());
                                          return true;
                                        });
    Connect();
  }

  uint32_t UploadKey() { return camera.Model().GetProperty(PROPERTY_UPLOAD_KEY, 0).value_or(0); }

  int32_t ReadAll(std::vector<uint8_t>& out) {
    out.assign(DATA_SIZE, 0);
    return LinkReadData(KIND_READ, out, 0, 0, link);
  }

  std::vector<std::vector<uint8_t>> written;
};

// Set.

TEST_F(ExchangeTest, SetIsAcknowledged) {
  EXPECT_EQ(LinkSetValue(PROPERTY_UPLOAD_KEY, UPLOAD_KEY, link), LINK_OK) << Trace();
  EXPECT_EQ(UploadKey(), UPLOAD_KEY);
  EXPECT_EQ(RequestsSent(REQUEST_SET_CLASS), 1u);
  EXPECT_EQ(link->state, LINK_STATE_READY);
}

TEST_F(ExchangeTest, SetRefusedOnceIsSentAgain) {
  AddFault(FaultKind::NAK, FaultTarget::SET);
  EXPECT_EQ(LinkSetValue(PROPERTY_UPLOAD_KEY, UPLOAD_KEY, link), LINK_OK) << Trace();
  EXPECT_EQ(RequestsSent(REQUEST_SET_CLASS), 2u);
  EXPECT_EQ(UploadKey(), UPLOAD_KEY);
}

TEST_F(ExchangeTest, SetRefusedOnEveryTryEndsWithTheRefusal) {
  AddFault(FaultKind::NAK, FaultTarget::SET, -1, 1, ALWAYS);
  EXPECT_EQ(LinkSetValue(PROPERTY_UPLOAD_KEY, UPLOAD_KEY, link), LINK_ERROR_NAK);
  EXPECT_EQ(RequestsSent(REQUEST_SET_CLASS), 4u);
  EXPECT_EQ(link->state, LINK_STATE_BROKEN);
}

TEST_F(ExchangeTest, SetWhoseAcknowledgementIsLostIsSentAgain) {
  AddFault(FaultKind::DROP_REPLY, FaultTarget::SET);
  EXPECT_EQ(LinkSetValue(PROPERTY_UPLOAD_KEY, UPLOAD_KEY, link), LINK_OK) << Trace();
  EXPECT_EQ(RequestsSent(REQUEST_SET_CLASS), 2u);
}

TEST_F(ExchangeTest, SetMetByCameraGoneReconnectsAndSetsAgain) {
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::SET);
  EXPECT_EQ(LinkSetValue(PROPERTY_UPLOAD_KEY, UPLOAD_KEY, link), LINK_OK) << Trace();
  EXPECT_EQ(RequestsSent(REQUEST_SET_CLASS), 2u);
  EXPECT_EQ(UploadKey(), UPLOAD_KEY);
  EXPECT_EQ(link->state, LINK_STATE_READY);
}

TEST_F(ExchangeTest, SetMetByCameraGoneEveryTimeEndsWhenTheBudgetIsSpent) {
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::SET, -1, 1, ALWAYS);
  EXPECT_EQ(LinkSetValue(PROPERTY_UPLOAD_KEY, UPLOAD_KEY, link), LINK_ERROR_CAMERA_GONE);
  EXPECT_EQ(RequestsSent(REQUEST_SET_CLASS), 4u) << "four reconnections at most";
  EXPECT_EQ(link->state, LINK_STATE_CAMERA_GONE);
}

// Get.

TEST_F(ExchangeTest, GetReturnsTheValueAndAcknowledgesTheReply) {
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << Trace();
  EXPECT_EQ(ControlBytesSent(ACK), 1u);
  EXPECT_EQ(link->state, LINK_STATE_READY);
}

TEST_F(ExchangeTest, GetAnsweredByASingleNakSendsTheRequestAgainWithoutNak) {
  AddFault(FaultKind::NAK, FaultTarget::GET);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << Trace();
  EXPECT_EQ(RequestsSent(REQUEST_GET_CLASS), 2u);
  EXPECT_EQ(ControlBytesSent(NAK), 0u);
}

TEST_F(ExchangeTest, GetWhoseReplyIsLostAsksAgain) {
  AddFault(FaultKind::DROP_REPLY, FaultTarget::GET);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << Trace();
  EXPECT_EQ(RequestsSent(REQUEST_GET_CLASS), 2u);
  EXPECT_EQ(link->retry_count, 1) << "the lost reply is noted";
}

TEST_F(ExchangeTest, GetReplyWithBadChecksumIsRefusedAndSentAgain) {
  AddFault(FaultKind::WRONG_CHECKSUM, FaultTarget::GET);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << Trace();
  EXPECT_EQ(ControlBytesSent(NAK), 1u);
  EXPECT_EQ(RequestsSent(REQUEST_GET_CLASS), 1u);
}

TEST_F(ExchangeTest, GetReplyOneAheadInSequenceIsRefused) {
  AddFault(FaultKind::WRONG_SEQUENCE, FaultTarget::GET);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << Trace();
  EXPECT_EQ(ControlBytesSent(NAK), 1u);
}

TEST_F(ExchangeTest, GetMetByCameraGoneReconnectsAndAsksAgain) {
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::GET, PROPERTY_BATTERY);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << Trace();
  EXPECT_EQ(link->state, LINK_STATE_READY);
}

TEST_F(ExchangeTest, AbortableGetMetByCameraGoneAsksTheCallerToRestart) {
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::GET, PROPERTY_BATTERY);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, true, link), LINK_RESTART) << Trace();
  EXPECT_EQ(link->state, LINK_STATE_READY);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, true, link), 100) << "the restart goes through";
}

TEST_F(ExchangeTest, GetMetByCameraGoneEveryTimeEndsWhenTheBudgetIsSpent) {
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::GET, PROPERTY_BATTERY, 1, ALWAYS);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), -1);
  EXPECT_EQ(link->last_error, LINK_ERROR_CAMERA_GONE);
}

TEST_F(ExchangeTest, GetWithoutAnyReplyEndsWithNoReply) {
  AddFault(FaultKind::DROP_REPLY, FaultTarget::GET, PROPERTY_BATTERY, 1, ALWAYS);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), -1);
  EXPECT_EQ(link->last_error, LINK_ERROR_NO_REPLY);
  EXPECT_EQ(RequestsSent(REQUEST_GET_CLASS), 4u);
  EXPECT_EQ(link->state, LINK_STATE_BROKEN);
}

// Action.

TEST_F(ExchangeTest, ActionIsAcknowledgedAndLeavesTheLinkBusy) {
  const uint64_t start = sim::VirtualNowMs();
  EXPECT_EQ(LinkExecute(ACTION_TEST, 0, 60000, link), LINK_OK) << Trace();
  EXPECT_EQ(link->state, LINK_STATE_BUSY);
  EXPECT_GE(link->busy_deadline, static_cast<uint32_t>(start + 60000));
}

TEST_F(ExchangeTest, ActionRefusedOnceIsSentAgain) {
  AddFault(FaultKind::NAK, FaultTarget::ACTION);
  EXPECT_EQ(LinkExecute(ACTION_TEST, 0, 60000, link), LINK_OK) << Trace();
  EXPECT_EQ(RequestsSent(REQUEST_ACTION_CLASS), 2u);
}

TEST_F(ExchangeTest, ActionWhoseAcknowledgementIsLostIsSentAgain) {
  AddFault(FaultKind::DROP_REPLY, FaultTarget::ACTION);
  EXPECT_EQ(LinkExecute(ACTION_TEST, 0, 60000, link), LINK_OK) << Trace();
  EXPECT_EQ(RequestsSent(REQUEST_ACTION_CLASS), 2u);
}

TEST_F(ExchangeTest, ActionNeverAcknowledgedEndsWithSendFailure) {
  AddFault(FaultKind::NAK, FaultTarget::ACTION, -1, 1, ALWAYS);
  EXPECT_EQ(LinkExecute(ACTION_TEST, 0, 60000, link), LINK_ERROR_SEND);
  EXPECT_EQ(RequestsSent(REQUEST_ACTION_CLASS), 4u);
  EXPECT_EQ(link->state, LINK_STATE_BROKEN);
}

TEST_F(ExchangeTest, ActionMetByCameraGoneReconnectsAndRunsAgain) {
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::ACTION);
  EXPECT_EQ(LinkExecute(ACTION_TEST, 0, 60000, link), LINK_OK) << Trace();
  EXPECT_EQ(RequestsSent(REQUEST_ACTION_CLASS), 2u);
  EXPECT_EQ(link->state, LINK_STATE_BUSY);
}

TEST_F(ExchangeTest, ActionMetByCameraGoneEveryTimeEndsWhenTheBudgetIsSpent) {
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::ACTION, -1, 1, ALWAYS);
  EXPECT_EQ(LinkExecute(ACTION_TEST, 0, 60000, link), LINK_ERROR_CAMERA_GONE);
  EXPECT_EQ(link->state, LINK_STATE_CAMERA_GONE);
}

// Read chunks.

TEST_F(ExchangeTest, ReadDeliversEveryFrameAndAcknowledgesEach) {
  std::vector<uint8_t> data;
  EXPECT_EQ(ReadAll(data), LINK_OK) << Trace();
  EXPECT_EQ(data, Pattern(DATA_SIZE));
  EXPECT_EQ(RequestsSent(REQUEST_READ_CLASS), 1u);
  EXPECT_EQ(ControlBytesSent(ACK), 3u);
  EXPECT_EQ(link->transfer_active, 0);
}

TEST_F(ExchangeTest, ReadRequestRefusedOnceIsSentAgainWithoutNak) {
  // A NAK back would make the camera resend its previous packet, the reply
  // to the connection's get, which the read would take for its data.
  AddFault(FaultKind::NAK, FaultTarget::READ);
  std::vector<uint8_t> data;
  EXPECT_EQ(ReadAll(data), LINK_OK) << Trace();
  EXPECT_EQ(data, Pattern(DATA_SIZE)) << Trace();
  EXPECT_EQ(RequestsSent(REQUEST_READ_CLASS), 2u);
  EXPECT_EQ(ControlBytesSent(NAK), 0u);
}

TEST_F(ExchangeTest, ReadFrameLostIsAskedForAgainWithNak) {
  AddFault(FaultKind::DROP_REPLY, FaultTarget::READ_FRAME, -1, 2);
  std::vector<uint8_t> data;
  EXPECT_EQ(ReadAll(data), LINK_OK) << Trace();
  EXPECT_EQ(data, Pattern(DATA_SIZE));
  EXPECT_EQ(ControlBytesSent(NAK), 1u);
}

TEST_F(ExchangeTest, ReadFrameCutShortIsAskedForAgain) {
  AddFault(FaultKind::PARTIAL_REPLY, FaultTarget::READ_FRAME, -1, 2);
  std::vector<uint8_t> data;
  EXPECT_EQ(ReadAll(data), LINK_OK) << Trace();
  EXPECT_EQ(data, Pattern(DATA_SIZE));
}

TEST_F(ExchangeTest, ReadFrameWithBadChecksumIsRefusedAndSentAgain) {
  AddFault(FaultKind::WRONG_CHECKSUM, FaultTarget::READ_FRAME);
  std::vector<uint8_t> data;
  EXPECT_EQ(ReadAll(data), LINK_OK) << Trace();
  EXPECT_EQ(data, Pattern(DATA_SIZE));
  EXPECT_EQ(ControlBytesSent(NAK), 1u);
}

TEST_F(ExchangeTest, ReadFrameOneAheadInSequenceIsRefusedWithNak) {
  AddFault(FaultKind::WRONG_SEQUENCE, FaultTarget::READ_FRAME, -1, 2);
  std::vector<uint8_t> data;
  EXPECT_EQ(ReadAll(data), LINK_OK) << Trace();
  EXPECT_EQ(data, Pattern(DATA_SIZE));
  EXPECT_EQ(ControlBytesSent(NAK), 1u);
}

TEST_F(ExchangeTest, ReadMetByCameraGoneReconnectsAndAsksTheCallerToRestart) {
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::READ_FRAME, -1, 2);
  std::vector<uint8_t> data;
  EXPECT_EQ(ReadAll(data), LINK_RESTART) << Trace();
  EXPECT_EQ(link->state, LINK_STATE_READY);
  EXPECT_EQ(link->transfer_active, 0);
  EXPECT_EQ(ReadAll(data), LINK_OK) << Trace();
  EXPECT_EQ(data, Pattern(DATA_SIZE));
}

TEST_F(ExchangeTest, BlockReadMetByCameraGoneEveryTimeEndsWhenTheBudgetIsSpent) {
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::READ, -1, 1, ALWAYS);
  std::vector<uint8_t> block(32);
  EXPECT_EQ(LinkReadBlock(KIND_READ, block, link), LINK_ERROR_CAMERA_GONE);
  EXPECT_EQ(link->state, LINK_STATE_CAMERA_GONE);
}

TEST_F(ExchangeTest, ReadWithoutAnyFrameEndsWithNoReply) {
  AddFault(FaultKind::DROP_REPLY, FaultTarget::READ, -1, 1, ALWAYS);
  std::vector<uint8_t> data;
  EXPECT_EQ(ReadAll(data), LINK_ERROR_NO_REPLY);
  EXPECT_EQ(RequestsSent(REQUEST_READ_CLASS), 4u);
}

// Write.

TEST_F(ExchangeTest, WriteArrivesWholeInThreeFrames) {
  const std::vector<uint8_t> data = Pattern(DATA_SIZE);
  EXPECT_EQ(LinkWriteData(KIND_WRITE, data, link), LINK_OK) << Trace();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0], data);
}

TEST_F(ExchangeTest, WriteFrameRefusedOnceIsSentAgain) {
  AddFault(FaultKind::NAK, FaultTarget::WRITE_FRAME, -1, 2);
  const std::vector<uint8_t> data = Pattern(DATA_SIZE);
  EXPECT_EQ(LinkWriteData(KIND_WRITE, data, link), LINK_OK) << Trace();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0], data);
  EXPECT_EQ(HostUnits(0x02).size(), 2u) << "the refused data frame went twice";
}

TEST_F(ExchangeTest, WriteFrameWhoseAcknowledgementIsLostIsSentAgain) {
  AddFault(FaultKind::DROP_REPLY, FaultTarget::WRITE_FRAME, -1, 2);
  const std::vector<uint8_t> data = Pattern(DATA_SIZE);
  EXPECT_EQ(LinkWriteData(KIND_WRITE, data, link), LINK_OK) << Trace();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0], data);
}

TEST_F(ExchangeTest, WriteMetByCameraGoneReconnectsAndSendsEverythingAgain) {
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::WRITE_FRAME, -1, 2);
  const std::vector<uint8_t> data = Pattern(DATA_SIZE);
  EXPECT_EQ(LinkWriteData(KIND_WRITE, data, link), LINK_OK) << Trace();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0], data);
  EXPECT_EQ(RequestsSent(3), 2u) << "the write started over with its command frame";
}

TEST_F(ExchangeTest, WriteMetByCameraGoneEveryTimeEndsWhenTheBudgetIsSpent) {
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::WRITE_FRAME, -1, 1, ALWAYS);
  EXPECT_EQ(LinkWriteData(KIND_WRITE, Pattern(DATA_SIZE), link), LINK_ERROR_CAMERA_GONE);
  EXPECT_TRUE(written.empty());
}

}  // namespace
}  // namespace pelox
