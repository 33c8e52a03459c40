// What the library promises about threads, run for ThreadSanitizer to hold
// it to: links on different threads at once, each with a camera of its own
// on the storage pipe, and two chunked reads on one link taking turns.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "link/camera_link.h"
#include "link/error_text.h"
#include "link/link_list.h"
#include "platform/thread.h"
#include "tests/byte_pattern.h"
#include "tests/transport/storage/storage_camera.h"
#include "tests/transport/storage/variant_rig.h"
#include "transport/port/port.h"

namespace pelox::test {
namespace {

constexpr size_t SESSIONS = 2;
constexpr size_t IMAGE_SIZE = 100000;
constexpr uint8_t KIND_READ = 60;
constexpr size_t READ_SIZE = 70000;

// What one thread's link went through.
struct Session {
  uint32_t battery = 0;
  int32_t written = -1;
  std::string error;
};

// One thread's whole use of a link of its own: find a camera, connect, read
// the battery, write an image, disconnect and delete the link. Every link
// holds its camera before any lets go, so that each must claim its own.
void RunSession(std::span<const uint8_t> image, std::atomic<size_t>& connected, Session& session) {
  CameraLink* link = LinkCreate();
  const bool ready = link != nullptr &&
                     LinkOpenPort(PORT_TYPE_STORAGE, link) == PORT_TYPE_STORAGE &&
                     LinkConnect(LINK_CONNECT, link) == LINK_OK;
  connected.fetch_add(1);
  while (connected.load() < SESSIONS) {
  }
  if (link == nullptr) return;
  if (ready) {
    session.battery = static_cast<uint32_t>(LinkGetValue(sim::PROPERTY_BATTERY, false, link));
    if (LinkSetValue(sim::PROPERTY_UPLOAD_KEY, sim::FIRMWARE_UPLOAD_KEY, link) == LINK_OK) {
      session.written = LinkWriteData(sim::KIND_FIRMWARE, image, link);
    }
    LinkConnect(LINK_DISCONNECT, link);
  }
  session.error = LinkErrorText(LinkLastError(link));
  LinkDelete(link);
}

class ThreadsTest : public testing::Test {
 protected:
  void SetUp() override {
    PortResetState();
    LinkDestroyAll();
  }
  void TearDown() override {
    LinkDestroyAll();
    PortResetState();
  }
  VariantRig rig_{Variant::SG_IO};
};

TEST_F(ThreadsTest, LinksOnTwoThreadsEachClaimACameraOfTheirOwnAndWriteItIntact) {
  StorageCamera first("PELOX", {.battery_level = 61});
  StorageCamera second("PELOX", {.battery_level = 62});
  rig_.Attach(first.face);
  rig_.Attach(second.face);
  const std::vector<uint8_t> image = Pattern(IMAGE_SIZE, 29);

  std::array<Session, SESSIONS> sessions;
  std::array<ThreadHandle, SESSIONS> threads{};
  std::atomic<size_t> connected{0};
  for (size_t index = 0; index < threads.size(); ++index) {
    threads[index] = ThreadStart([&image, &connected, &session = sessions[index]] {
      RunSession(image, connected, session);
    });
    ASSERT_NE(threads[index], nullptr);
  }
  for (ThreadHandle thread : threads) ThreadJoin(thread);

  for (const Session& session : sessions) EXPECT_EQ(session.written, LINK_OK) << session.error;
  EXPECT_EQ((std::set{sessions[0].battery, sessions[1].battery}), (std::set<uint32_t>{61, 62}));
  EXPECT_EQ(first.camera.Model().Firmware().Image(), image);
  EXPECT_EQ(second.camera.Model().Firmware().Image(), image);
  EXPECT_EQ(first.face.ProtocolErrors() + second.face.ProtocolErrors(), 0);
  EXPECT_EQ(LinkLiveCount(), 0u);
}

TEST_F(ThreadsTest, TwoChunkedReadsOnOneLinkTakeTurns) {
  StorageCamera camera;
  const std::vector<uint8_t> readable = Pattern(READ_SIZE);
  camera.camera.Model().RegisterReadableKind(
      KIND_READ, [&readable](uint64_t) { return std::optional(readable); });
  rig_.Attach(camera.face);
  CameraLink* link = LinkCreate();
  ASSERT_NE(link, nullptr);
  ASSERT_EQ(LinkOpenPort(PORT_TYPE_STORAGE, link), PORT_TYPE_STORAGE);
  ASSERT_EQ(LinkConnect(LINK_CONNECT, link), LINK_OK);

  std::array<std::vector<uint8_t>, 2> reads{std::vector<uint8_t>(READ_SIZE),
                                            std::vector<uint8_t>(READ_SIZE)};
  std::array<int32_t, 2> codes{-1, -1};
  std::array<ThreadHandle, 2> threads{};
  for (size_t index = 0; index < threads.size(); ++index) {
    threads[index] = ThreadStart([link, &read = reads[index], &code = codes[index]] {
      code = LinkReadData(KIND_READ, read, 0, 0, link);
    });
    ASSERT_NE(threads[index], nullptr);
  }
  for (ThreadHandle thread : threads) ThreadJoin(thread);

  for (size_t index = 0; index < reads.size(); ++index) {
    EXPECT_EQ(codes[index], LINK_OK) << LinkErrorText(codes[index]);
    EXPECT_EQ(reads[index], readable);
  }
  EXPECT_EQ(link->transfer_active, 0);
  EXPECT_EQ(camera.face.ProtocolErrors(), 0);
  LinkConnect(LINK_DISCONNECT, link);
}

}  // namespace
}  // namespace pelox::test
