// Every exported function given a null link, a null handle or an empty
// buffer returns its code: one row per export, checked against the
// library's symbols file, so that a new export without a row fails.
#include <gtest/gtest.h>

#include <array>
#include <concepts>
#include <cstdint>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "commands/camera_commands.h"
#include "link/camera_link.h"
#include "link/error_record.h"
#include "link/error_text.h"
#include "link/exchanges.h"
#include "link/link_info.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "link/serial_handshake.h"
#include "platform/file.h"
#include "platform/file_open.h"
#include "platform/local_time.h"
#include "platform/serial.h"
#include "platform/serial_map.h"
#include "transport/code_text.h"
#include "transport/discovery/camera_vendor.h"
#include "transport/discovery/device_table.h"
#include "transport/port/port.h"
#include "transport/storage/storage_ops.h"

namespace pelox {
namespace {

struct Row {
  std::string name;
  std::function<int64_t()> call;
  int64_t expected;
};

// Scratch for the out-parameters; no row reads them.
uint32_t u32;
int32_t i32;
uint8_t u8;
uint16_t u16;
bool flag;
int16_t pair[2];
LocalTime time;
Record57 r57;
Record67 r67;
Record74 r74;
Record91 r91;
Record112 r112;
ChunkResult chunk;
ParsedPacket parsed;
CommSettings settings;
CommTimeouts timeouts;
std::array<char, 32> text;
std::array<uint8_t, 2024> block;
std::array<int32_t, 8> values;

// Codes, values and enums as they are; pointers, spans and receptions by
// whether they hold anything.
template <typename Value>
  requires std::integral<Value> || std::is_enum_v<Value>
int64_t Result(Value value) {
  return static_cast<int64_t>(value);
}
int64_t Result(const Reception& reception) { return static_cast<int64_t>(reception.received); }
int64_t Result(const void* pointer) { return pointer == nullptr ? 0 : 1; }
int64_t Result(std::span<const uint8_t> span) { return static_cast<int64_t>(span.size()); }

// The call, with its own name for the row.
#define ROW(function, expected, ...) \
  Row { #function, [] { return Result(function(__VA_ARGS__)); }, expected }
#define VOID_ROW(function, ...) \
  Row{#function, [] { return (function(__VA_ARGS__), int64_t{0}); }, 0}

constexpr int64_t NO_LINK = LINK_ERROR_NO_LINK;
constexpr int64_t FAILED = -1;
constexpr int64_t REFUSED = 0;  // false, null, empty or none
// A command that selects first fails its selection on a null link.
constexpr int64_t SELECTION_FAILED = -1;

// The deprecated forms are still exported, so they keep their rows.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
const std::vector<Row>& Rows() {
  static const std::vector<Row> rows{
      ROW(BuildCommandFrame, 0, {}, {}, 0, Checksum::SUMMED),
      ROW(BuildDataFrame, 0, {}, {}, 0, u8, Checksum::SUMMED),
      ROW(CameraAction1, FAILED, nullptr),
      ROW(CameraAction1Checked, NO_LINK, nullptr),
      ROW(CameraAction13, SELECTION_FAILED, 0, nullptr),
      ROW(CameraAction16, NO_LINK, 0, nullptr),
      ROW(CameraAction3, NO_LINK, 0, nullptr),
      ROW(CameraAction8, NO_LINK, 0, 0, nullptr),
      ROW(CameraAction8Checked, NO_LINK, 0, 0, nullptr),
      ROW(CameraAction9, SELECTION_FAILED, 0, 0, nullptr),
      ROW(CameraClear109, NO_LINK, nullptr),
      ROW(CameraCountObjects, NO_LINK, u32, nullptr),
      ROW(CameraGet39, FAILED, 0, nullptr),
      ROW(CameraGetBatteryLevel, FAILED, nullptr),
      ROW(CameraGetBatteryLevelChecked, NO_LINK, u32, nullptr),
      ROW(CameraGetClock, NO_LINK, time, nullptr),
      ROW(CameraGetComHandle, REFUSED, nullptr),
      ROW(CameraGetFirmwareVersion, NO_LINK, text, nullptr),
      ROW(CameraGetFirmwareFamily, NO_LINK, std::span(text).first<5>(), nullptr),
      ROW(CameraGetObjectSize, FAILED, 0, nullptr),
      ROW(CameraGetObjectSizeChecked, NO_LINK, 0, u32, nullptr),
      ROW(CameraGetPair23, NO_LINK, pair[0], pair[1], nullptr),
      ROW(CameraGetPair54, NO_LINK, pair[0], pair[1], nullptr),
      ROW(CameraGetRunningHours, FAILED, nullptr),
      ROW(CameraGetRunningHoursChecked, NO_LINK, u32, nullptr),
      ROW(CameraGetSecondarySize, FAILED, 0, nullptr),
      ROW(CameraGetSecondarySizeChecked, NO_LINK, 0, u32, nullptr),
      ROW(CameraGetSoundSize, FAILED, 0, nullptr),
      ROW(CameraGetSoundSizeChecked, NO_LINK, 0, u32, nullptr),
      ROW(CameraGetUploadKey, FAILED, nullptr),
      ROW(CameraGetUploadKeyChecked, NO_LINK, u32, nullptr),
      ROW(CameraGetVendor, NO_LINK, text, nullptr),
      ROW(CameraGoneCheck, REFUSED, nullptr),
      ROW(CameraNoOperation, NO_LINK, 0, 0, nullptr),
      ROW(CameraProbeSerialLine, NO_LINK, 0, 0, nullptr),
      ROW(CameraProbeSerialLineChecked, NO_LINK, 0, 0, flag, nullptr),
      ROW(CameraRead112, NO_LINK, r112, nullptr),
      ROW(CameraRead114, LINK_ERROR_COMMAND, {}, nullptr),
      ROW(CameraRead47, SELECTION_FAILED, 0, values, nullptr),
      ROW(CameraRead57, SELECTION_FAILED, 0, r57, nullptr),
      ROW(CameraRead67, NO_LINK, r67, nullptr),
      ROW(CameraRead74, SELECTION_FAILED, 0, r74, nullptr),
      ROW(CameraRead79, SELECTION_FAILED, std::span(block).first<13>(), 0, nullptr),
      ROW(CameraRead84, SELECTION_FAILED, std::span(block).first<9>(), 0, nullptr),
      ROW(CameraRead91, SELECTION_FAILED, 0, r91, nullptr),
      ROW(CameraRead92, SELECTION_FAILED, 0, block, nullptr),
      ROW(CameraReadCurrentObject, NO_LINK, {}, i32, nullptr),
      ROW(CameraReadObject, NO_LINK, {}, 0, nullptr),
      ROW(CameraReadObjectAndSound, NO_LINK, {}, {}, 0, nullptr),
      ROW(CameraReadObjectToFile, NO_LINK, nullptr, 0, nullptr),
      ROW(CameraReadSecondary, NO_LINK, {}, 0, nullptr),
      ROW(CameraReadSecondaryToFile, NO_LINK, nullptr, 0, nullptr),
      ROW(CameraReadSound, NO_LINK, {}, 0, nullptr),
      ROW(CameraReadUsageTable, NO_LINK, std::span(block).first<1032>(), nullptr),
      ROW(CameraSendFirmwareFile, LINK_ERROR_COMMAND, nullptr, nullptr),
      ROW(CameraSet109, NO_LINK, nullptr),
      ROW(CameraSetCurrentObjectMode, NO_LINK, 0, nullptr),
      ROW(CameraSetPair23, NO_LINK, 0, 0, nullptr),
      ROW(CameraSetPair54, NO_LINK, 0, 0, nullptr),
      ROW(CameraSetProperty3, NO_LINK, 0, nullptr),
      ROW(CameraSetUploadKey, NO_LINK, 0, nullptr),
      ROW(CameraUploadFirmwareData, NO_LINK, {}, 0, nullptr),
      ROW(CameraUploadFirmwareFile, NO_LINK, nullptr, 0, nullptr),
      ROW(CameraUploadFirmwareImage, NO_LINK, {}, nullptr),
      ROW(CameraVendorLookup, VENDOR_NOT_A_CAMERA, {}, u16),
      ROW(CameraWrite31, NO_LINK, {}, nullptr),
      ROW(CameraWrite58, NO_LINK, {}, nullptr),
      ROW(CameraWriteFirmware, NO_LINK, nullptr),
      ROW(DecodeSoundSamples, LINK_ERROR_INVALID_ARGUMENT, {}, 0),
      ROW(ExchangeAction, NO_LINK, 0, 0, nullptr),
      ROW(ExchangeGet, NO_LINK, 0, u32, nullptr),
      ROW(ExchangeReadChunk, NO_LINK, ChunkRequest{}, chunk, nullptr),
      ROW(ExchangeSet, NO_LINK, 0, 0, 0, nullptr),
      ROW(ExchangeSetBefore, NO_LINK, 0, 0, 0, 1, 0, nullptr),
      ROW(ExchangeWrite, NO_LINK, {}, 0, nullptr),
      ROW(FileClose, false, nullptr),
      ROW(FileCreate, REFUSED, nullptr, u32),
      ROW(FileOpenRead, REFUSED, nullptr, u32),
      ROW(LinkBytesReceived, 0, nullptr),
      ROW(LinkCheckAlive, 0, nullptr),
      ROW(LinkConnect, NO_LINK, LINK_CONNECT, nullptr),
      ROW(LinkDelete, LINK_OK, nullptr),
      ROW(LinkDeviceIndex, 0, nullptr),
      ROW(LinkEnsureReady, NO_LINK, nullptr),
      ROW(LinkExecute, NO_LINK, 0, 0, 0, nullptr),
      ROW(LinkExecuteOnce, NO_LINK, 0, 0, 0, nullptr),
      ROW(LinkGetValue, FAILED, 0, false, nullptr),
      ROW(LinkGetValueChecked, NO_LINK, 0, false, u32, nullptr),
      ROW(LinkLastError, NO_LINK, nullptr),
      ROW(LinkLastSense, 0, nullptr),
      VOID_ROW(LinkNoteError, 0, nullptr),
      ROW(LinkOpenPort, NO_LINK, LINK_PORT_AUTOMATIC, nullptr),
      ROW(LinkOpenPortChecked, NO_LINK, LINK_PORT_AUTOMATIC, i32, nullptr),
      ROW(LinkPacketsSent, 0, nullptr),
      ROW(LinkPollAction, static_cast<int64_t>(ActionState::ENDED), nullptr),
      ROW(LinkPollBusy, 0, nullptr),
      ROW(LinkPort, REFUSED, nullptr),
      ROW(LinkPortType, PORT_TYPE_NONE, nullptr),
      ROW(LinkReadBlock, NO_LINK, 0, {}, nullptr),
      ROW(LinkReadChunk, NO_LINK, true, u32, flag, {}, 0, false, 0, nullptr),
      ROW(LinkReadData, NO_LINK, 0, {}, 0, 0, nullptr),
      ROW(LinkReadDataUpTo, NO_LINK, 0, {}, 0, nullptr),
      ROW(LinkReadObjectToFile, NO_LINK, 0, 0, nullptr, 0, nullptr),
      ROW(LinkReconnect, NO_LINK, nullptr),
      ROW(LinkRxSequence, 0, nullptr),
      ROW(LinkSetError, 1, 1, nullptr),
      ROW(LinkSetEventCallback, NO_LINK, nullptr, nullptr, nullptr),
      ROW(LinkSetProgressCallback, NO_LINK, nullptr, nullptr, nullptr),
      ROW(LinkSetReconnectCheck, NO_LINK, nullptr, nullptr, nullptr),
      ROW(LinkSetSpeed, NO_LINK, 0, nullptr),
      ROW(LinkSetStallBound, NO_LINK, 0, nullptr),
      ROW(LinkSetStopFlag, NO_LINK, nullptr, nullptr),
      ROW(LinkSetValue, NO_LINK, 0, 0, nullptr),
      ROW(LinkSetWaitDeadline, NO_LINK, std::nullopt, nullptr),
      ROW(LinkSetWaitDuration, NO_LINK, 0, nullptr),
      ROW(LinkSpeedIndex, 0, nullptr),
      ROW(LinkCurrentState, LINK_STATE_CLOSED, nullptr),
      ROW(LinkVendorCode, 0, nullptr),
      ROW(LinkWriteData, NO_LINK, 0, {}, nullptr),
      ROW(LinkWriteString, NO_LINK, 0, "", nullptr),
      ROW(ParsePacket, PACKET_MALFORMED, {}, true, 0, parsed),
      ROW(PayloadChecksum, 0, {}),
      ROW(PortClose, PORT_OK, nullptr),
      ROW(PortDrain, PORT_FAILED, nullptr, {}, 1, std::nullopt),
      ROW(PortOpenCom, PORT_FAILED, PORT_TYPE_COM_FIRST, 9600, 8, 0, 0, nullptr),
      ROW(PortOpenStorage, PORT_FAILED, PORT_TYPE_STORAGE, nullptr),
      ROW(PortRead, PORT_FAILED, nullptr, {}, 1, std::nullopt),
      ROW(PortSetBaud, PORT_FAILED, PORT_TYPE_COM_FIRST, 9600, nullptr),
      ROW(PortSetFlowControl, PORT_FAILED, PORT_TYPE_COM_FIRST, 0, nullptr),
      ROW(PortWrite, PORT_FAILED, nullptr, {}),
      VOID_ROW(PreSendPause, nullptr),
      ROW(ReadControlByte, CONTROL_NOTHING, 1, nullptr),
      ROW(ReadRawBlock, NO_LINK, 0, {}, false, nullptr),
      ROW(ReadValueRecord, NO_LINK, 0, 0, {}, nullptr),
      ROW(ReceivePacket, 0, {}, 1, 0, nullptr),
      ROW(SendAck, NO_LINK, nullptr),
      ROW(SendControl, NO_LINK, 0, nullptr),
      ROW(SendPacket, PORT_FAILED, {}, nullptr),
      ROW(SerialClose, false, nullptr),
      ROW(SerialFlush, false, nullptr),
      ROW(SerialGetState, false, nullptr, settings),
      ROW(SerialGetTimeouts, false, nullptr, timeouts),
      ROW(SerialHandshake, false, nullptr),
      ROW(SerialRead, false, nullptr, {}, u32),
      ROW(SerialSetState, false, nullptr, settings),
      ROW(SerialSetTimeouts, false, nullptr, timeouts),
      ROW(SerialSetupQueues, false, nullptr, 0, 0),
      ROW(SerialWrite, false, nullptr, {}, u32),
      ROW(WriteValueRecord, NO_LINK, 0, 0, {}, nullptr),
      Row{"ObjectAction", [] { return Result(CameraAction7(0, nullptr)); }, SELECTION_FAILED},
      Row{"PropertySet16", [] { return Result(CameraSet35(0, nullptr)); }, NO_LINK},
  };
  return rows;
}
#pragma GCC diagnostic pop

// Exports that take no pointer, handle or buffer: nothing to give them null.
const std::set<std::string> WITHOUT_POINTERS{
    "CONTROL_ERROR", "CONTROL_NOTHING", "CurrentSoundDecoderState", "DecodeSoundNibble",
    "DeviceCount", "DeviceTableEntry", "DiscoveryDeniedCount", "DiscoveryFirstDenied",
    "DiscoverySystemError", "DiscoverySystemErrorText", "LibraryVersion", "FRAME_PAYLOAD_SMALL", "LinkCreate", "LinkCreateUnlisted",
    "LinkDestroyAll", "LinkErrorText", "LinkStateText", "LinkTickCount",
    "LocalTimeFromCalendar", "PacketVerdictText", "PortCommSettings", "PortOpenType",
    "PortResultText", "PortSleep", "RANGE_TABLE", "ResetSoundDecoder", "SPEED_TABLE",
    "SerialDevicePath", "SerialHeardBytes", "SerialMapDevice", "SerialOpen", "SerialOpenError",
    "StorageInitResultText", "StorageMode", "StorageOpsTable", "StorageTransportInit",
    "StorageVariantText", "TIMEOUT_CONTROL_BYTE", "VendorLookupText"};

// The names the symbols file lists, each once.
std::set<std::string> ExportedNames() {
  std::ifstream symbols(PELOX_SYMBOLS_FILE);
  const std::regex name("\"pelox::([A-Za-z0-9_]+)");
  std::set<std::string> names;
  for (std::string line; std::getline(symbols, line);) {
    std::smatch match;
    if (std::regex_search(line, match, name)) names.insert(match[1]);
  }
  return names;
}

TEST(NullArguments, EveryExportHasARowOrTakesNoPointer) {
  std::set<std::string> covered = WITHOUT_POINTERS;
  for (const Row& row : Rows()) covered.insert(row.name);
  const std::set<std::string> exported = ExportedNames();
  ASSERT_GT(exported.size(), 100u) << "symbols file not read";
  for (const std::string& name : exported) EXPECT_TRUE(covered.contains(name)) << name;
}

TEST(NullArguments, EveryExportReturnsItsCode) {
  for (const Row& row : Rows()) EXPECT_EQ(row.call(), row.expected) << row.name;
}

}  // namespace
}  // namespace pelox
