// The link's record, list, state machine and argument checks: no camera
// traffic is involved.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "link/camera_link.h"
#include "link/error_record.h"
#include "link/error_text.h"
#include "link/link_list.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "tests/code_texts.h"
#include "transport/code_text.h"
#include "transport/discovery/camera_vendor.h"
#include "transport/discovery/device_table.h"
#include "transport/port/port.h"
#include "transport/storage/storage_init.h"

namespace pelox {
namespace {

class LinkRecordTest : public testing::Test {
 protected:
  void SetUp() override { LinkDestroyAll(); }
  void TearDown() override { LinkDestroyAll(); }
};

TEST_F(LinkRecordTest, ANewLinkIsClosedWithoutPortOrCallback) {
  CameraLink* link = LinkCreate();
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->port_type, PORT_TYPE_NONE);
  EXPECT_EQ(link->state, LINK_STATE_CLOSED);
  EXPECT_EQ(link->progress_callback, nullptr);
  EXPECT_EQ(link->current_object_mode, 0);
  EXPECT_EQ(link->speed_checked, 0);
}

TEST_F(LinkRecordTest, LinksJoinTheListInOrderAndTakeTheLiveCountAsId) {
  CameraLink* first = LinkCreate();
  CameraLink* second = LinkCreate();
  CameraLink* third = LinkCreate();
  EXPECT_EQ(first->link_id, 0);
  EXPECT_EQ(second->link_id, 1);
  EXPECT_EQ(third->link_id, 2);
  EXPECT_EQ(LinkLiveCount(), 3u);
  EXPECT_EQ(LinkListHead(), first);
  EXPECT_EQ(first->next, second);
  EXPECT_EQ(third->prev, second);

  EXPECT_EQ(LinkDelete(second), LINK_OK);
  EXPECT_EQ(first->next, third);
  EXPECT_EQ(third->prev, first);
  EXPECT_EQ(LinkDelete(first), LINK_OK);
  EXPECT_EQ(LinkListHead(), third) << "deleting the head leaves the next link as head";
  EXPECT_EQ(third->prev, nullptr);
  EXPECT_EQ(LinkLiveCount(), 1u);
  EXPECT_EQ(LinkDelete(nullptr), LINK_OK);

  EXPECT_EQ(LinkDestroyAll(), LINK_OK);
  EXPECT_EQ(LinkListHead(), nullptr);
  EXPECT_EQ(LinkLiveCount(), 0u);
  EXPECT_EQ(LinkCreate()->link_id, 0);
}

// (state before, code) -> state after.
class LinkSetErrorTable : public testing::TestWithParam<std::tuple<int32_t, int32_t, int32_t>> {};

std::string TransitionName(const testing::TestParamInfo<LinkSetErrorTable::ParamType>& info) {
  const auto [before, code, after] = info.param;
  return "From" + std::to_string(before) + "On" + std::to_string(code) + "To" +
         std::to_string(after);
}

TEST_P(LinkSetErrorTable, MovesTheStateOnlyWhereAllowed) {
  const auto [before, code, after] = GetParam();
  CameraLink link;
  link.state = before;
  EXPECT_EQ(LinkSetError(code, &link), code);
  EXPECT_EQ(link.last_error, code);
  EXPECT_EQ(link.state, after);
}

INSTANTIATE_TEST_SUITE_P(
    EveryState, LinkSetErrorTable,
    testing::Values(
        // Closed and camera-gone links keep their state.
        std::make_tuple(0, 0, 0), std::make_tuple(0, 12, 0), std::make_tuple(0, 13, 0),
        std::make_tuple(0, 20, 0), std::make_tuple(2, 0, 2), std::make_tuple(2, 12, 2),
        std::make_tuple(2, 13, 2), std::make_tuple(2, 20, 2),
        // Ready, broken and in-transaction links follow the code.
        std::make_tuple(1, 0, 1), std::make_tuple(1, 12, 3), std::make_tuple(1, 13, 3),
        std::make_tuple(1, 20, 2), std::make_tuple(3, 0, 1), std::make_tuple(3, 12, 3),
        std::make_tuple(3, 13, 3), std::make_tuple(3, 20, 2), std::make_tuple(6, 0, 1),
        std::make_tuple(6, 12, 3), std::make_tuple(6, 13, 3), std::make_tuple(6, 20, 2),
        // A busy link stays busy on a time-out only.
        std::make_tuple(4, 0, 1), std::make_tuple(4, 12, 4), std::make_tuple(4, 13, 3),
        std::make_tuple(4, 20, 2)),
    TransitionName);

TEST(LinkSetError, WithoutALinkJustReturnsTheCode) { EXPECT_EQ(LinkSetError(13, nullptr), 13); }

TEST(LinkNoteError, RecordsTheCodeAndCountsWithoutMovingTheState) {
  CameraLink link;
  link.state = LINK_STATE_IN_TRANSACTION;
  LinkNoteError(LINK_ERROR_NO_REPLY, &link);
  LinkNoteError(LINK_ERROR_SEND, &link);
  EXPECT_EQ(link.last_error, LINK_ERROR_SEND);
  EXPECT_EQ(link.retry_count, 2);
  EXPECT_EQ(link.state, LINK_STATE_IN_TRANSACTION);
}

TEST(LinkSetSpeed, AcceptsOneToSixAndClearsTheCheck) {
  CameraLink link;
  link.speed_checked = 1;
  EXPECT_EQ(LinkSetSpeed(6, &link), LINK_OK);
  EXPECT_EQ(link.speed_index, 6);
  EXPECT_EQ(link.speed_checked, 0);
  for (const int32_t refused : {0, 7, -1}) {
    link.speed_index = 5;
    EXPECT_EQ(LinkSetSpeed(refused, &link), LINK_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(link.speed_index, 0);
  }
  EXPECT_EQ(LinkSetSpeed(5, nullptr), LINK_ERROR_NO_LINK);
}

TEST(LinkOpenPort, RefusesUnknownPortsAndLinksInUse) {
  PortResetState();
  CameraLink link;
  int32_t port_type = PORT_TYPE_NONE;
  EXPECT_EQ(LinkOpenPortChecked(3, port_type, &link), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(LinkOpenPort(3, &link), PORT_TYPE_NONE);
  EXPECT_EQ(link.last_error, LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(link.state, LINK_STATE_CLOSED);

  link.state = LINK_STATE_READY;
  link.port_type = 2;
  link.last_error = 0;
  EXPECT_EQ(LinkOpenPortChecked(LINK_PORT_AUTOMATIC, port_type, &link), LINK_ERROR_INTERNAL);
  EXPECT_EQ(port_type, PORT_TYPE_NONE);
  EXPECT_EQ(LinkOpenPort(LINK_PORT_AUTOMATIC, &link), LINK_ERROR_INTERNAL);
  EXPECT_EQ(link.port_type, 2) << "the port of a link in use is left alone";
  EXPECT_EQ(link.state, LINK_STATE_READY);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE);

  EXPECT_EQ(LinkOpenPort(LINK_PORT_AUTOMATIC, nullptr), LINK_ERROR_NO_LINK);
  EXPECT_EQ(LinkOpenPortChecked(LINK_PORT_AUTOMATIC, port_type, nullptr), LINK_ERROR_NO_LINK);
}

TEST(LinkConnect, RefusesUnknownModesAndLinksWithoutPort) {
  CameraLink link;
  link.port_type = 1;
  EXPECT_EQ(LinkConnect(2, &link), LINK_ERROR_INVALID_ARGUMENT);
  link.port_type = PORT_TYPE_NONE;
  EXPECT_EQ(LinkConnect(LINK_CONNECT, &link), LINK_ERROR_NO_PORT);
  EXPECT_EQ(link.last_error, LINK_ERROR_NO_PORT);
  EXPECT_EQ(LinkConnect(LINK_CONNECT, nullptr), LINK_ERROR_NO_LINK);
}

TEST(LinkEnsureReady, ReadyIsReadyAndUnknownStatesAreRefused) {
  CameraLink link;
  link.state = LINK_STATE_READY;
  EXPECT_EQ(LinkEnsureReady(&link), LINK_OK);
  link.state = 5;
  EXPECT_EQ(LinkEnsureReady(&link), LINK_ERROR_INTERNAL);
}

TEST(LinkProgressCallback, IsStoredWithItsUserValue) {
  CameraLink link;
  const ProgressCallback callback = [](void*, int32_t, int32_t) { return 1; };
  int owner = 0;
  EXPECT_EQ(LinkSetProgressCallback(callback, &owner, &link), LINK_OK);
  EXPECT_EQ(link.progress_callback, callback);
  EXPECT_EQ(link.progress_user, &owner);
  link.last_error = 14;
  EXPECT_EQ(LinkLastError(&link), 14);
}

TEST(LinkErrorText, EveryCodeHasItsOwnTextAndOthersReadAsUnknown) {
  test::ExpectOwnTexts(LinkErrorText,
                       {LINK_OK,
                        LINK_RESTART,
                        LINK_ERROR_COMMAND,
                        LINK_ERROR_INVALID_ARGUMENT,
                        LINK_ERROR_NO_PORT,
                        LINK_ERROR_FILE_WRITE,
                        LINK_ERROR_PORT_OPEN_CLOSE,
                        LINK_ERROR_SEND,
                        LINK_ERROR_NO_REPLY,
                        LINK_ERROR_SERIAL_CONNECT,
                        LINK_ERROR_NO_ANSWER,
                        LINK_ERROR_UNEXPECTED,
                        LINK_ERROR_NAK,
                        LINK_ERROR_CAMERA_ERROR,
                        LINK_ERROR_MALFORMED,
                        LINK_ERROR_EMPTY_OBJECT,
                        LINK_ERROR_CANCELLED,
                        LINK_ERROR_CAMERA_GONE,
                        LINK_ERROR_TRANSPORT,
                        LINK_ERROR_NO_LINK,
                        LINK_ERROR_STOPPED,
                        LINK_ERROR_STORAGE_NOT_INITIALISED,
                        LINK_ERROR_INTERNAL},
                       4);
  EXPECT_EQ(LinkErrorText(-1), LinkErrorText(256));
}

TEST(CodeTexts, EveryCodeSpaceGivesEachCodeItsOwnText) {
  test::ExpectOwnTexts(LinkStateText,
                       {LINK_STATE_CLOSED, LINK_STATE_READY, LINK_STATE_CAMERA_GONE,
                        LINK_STATE_BROKEN, LINK_STATE_BUSY, LINK_STATE_IN_TRANSACTION},
                       5);
  test::ExpectOwnTexts(PacketVerdictText, {PACKET_OK, PACKET_OUT_OF_SEQUENCE, PACKET_MALFORMED},
                       LINK_ERROR_NAK);
  test::ExpectOwnTexts(PortResultText,
                       {PORT_OK, PORT_FAILED, PORT_TRANSFER_FAILED, PORT_SCSI_ERROR, 2}, -4);
  test::ExpectOwnTexts(
      StorageVariantText,
      {STORAGE_MODE_NONE, STORAGE_MODE_PASS_THROUGH, STORAGE_MODE_ASPI, STORAGE_MODE_SG_IO}, 4);
  test::ExpectOwnTexts(StorageInitResultText, {STORAGE_INIT_DONE, STORAGE_INIT_NO_ASPI}, 2);
  test::ExpectOwnTexts(VendorLookupText, {VENDOR_FOUND, VENDOR_NOT_A_CAMERA}, 1);
  test::ExpectOwnTexts(DiscoverySystemErrorText, {0, DISCOVERY_ERROR_NOT_READY}, 2);
}

}  // namespace
}  // namespace pelox
