// Finds the camera on the serial device given, reads its firmware version,
// then bounds a get of its battery level, which the camera answers late,
// with a wait deadline and a stall bound set together: each holds when it
// is the earlier one. Start the camera as
//   camsim --fault delay=4000@get:16*1000
//   wait-limits SERIAL-DEVICE
#include <pelox/pelox.h>

#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <string_view>

namespace {

constexpr int32_t SPEED_115200 = 5;  // index into the link's speed table
constexpr uint32_t SHORT_MS = 800;
constexpr uint32_t LONG_MS = 20000;
// How late the limit may end the get: the port's reads end at it, the rest
// is bookkeeping.
constexpr uint32_t SLACK_MS = 400;

int Fail(const char* what, const pelox::CameraLink* link) {
  const std::string_view error = pelox::LinkErrorText(pelox::LinkLastError(link));
  std::fprintf(stderr, "wait-limits: %s failed: %.*s\n", what, static_cast<int>(error.size()),
               error.data());
  pelox::LinkDestroyAll();
  return 1;
}

// Reads the version, which also reconnects a link that a late answer broke.
bool ReadVersion(pelox::CameraLink* link) {
  std::array<char, pelox::CAMERA_TEXT_SIZE + 1> version{};
  if (pelox::CameraGetFirmwareVersion(std::span(version).first<pelox::CAMERA_TEXT_SIZE>(), link) !=
      pelox::LINK_OK) {
    return false;
  }
  std::printf("firmware version: %s\n", version.data());
  return true;
}

// Sets both limits, the one named `which` the shorter, and asks for the
// battery level: true when the get gave up by the shorter limit.
bool LimitHolds(const char* which, uint32_t deadline_ms, uint32_t stall_ms,
                pelox::CameraLink* link) {
  const uint32_t start = pelox::LinkTickCount();
  pelox::LinkSetWaitDuration(deadline_ms, link);
  pelox::LinkSetStallBound(stall_ms, link);
  uint32_t level = 0;
  const int32_t code = pelox::CameraGetBatteryLevelChecked(level, link);
  const uint32_t took = pelox::LinkTickCount() - start;
  pelox::LinkSetWaitDeadline(std::nullopt, link);
  pelox::LinkSetStallBound(0, link);
  const bool held = code == pelox::LINK_ERROR_NO_ANSWER && took <= SHORT_MS + SLACK_MS;
  std::printf("%s of %u ms %s after %u ms\n", which, static_cast<unsigned>(SHORT_MS),
              held ? "held" : "did not hold", static_cast<unsigned>(took));
  return held;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wait-limits SERIAL-DEVICE\n");
    return 2;
  }
  pelox::SerialMapDevice(pelox::PORT_TYPE_COM_FIRST, argv[1]);
  pelox::CameraLink* link = pelox::LinkCreate();
  if (link == nullptr) return Fail("creating the link", link);
  if (pelox::LinkSetSpeed(SPEED_115200, link) != pelox::LINK_OK) {
    return Fail("setting the speed", link);
  }
  if (pelox::LinkOpenPort(pelox::PORT_TYPE_COM_FIRST, link) != pelox::PORT_TYPE_COM_FIRST) {
    return Fail("finding the camera", link);
  }
  if (pelox::LinkConnect(pelox::LINK_CONNECT, link) != pelox::LINK_OK) {
    return Fail("connecting", link);
  }
  if (!ReadVersion(link)) return Fail("reading the firmware version", link);
  const bool deadline_held = LimitHolds("wait deadline", SHORT_MS, LONG_MS, link);
  if (!ReadVersion(link)) return Fail("reading the firmware version again", link);
  const bool stall_bound_held = LimitHolds("stall bound", LONG_MS, SHORT_MS, link);
  pelox::LinkConnect(pelox::LINK_DISCONNECT, link);
  pelox::LinkDestroyAll();
  return deadline_held && stall_bound_held ? 0 : 1;
}
