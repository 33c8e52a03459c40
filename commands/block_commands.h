#pragma once
/// @file
/// Block commands: reads of one data kind into a caller's buffer or record,
/// and writes of a caller's data, values or text. Records are written only
/// when the read succeeds. Results are the engines' codes; the reads that
/// select an object or entry first return SELECTION_FAILED when the
/// selection fails.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "link/camera_link.h"
#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

inline constexpr uint8_t DATA_KIND_USAGE_TABLE = 123;
inline constexpr size_t USAGE_TABLE_SIZE = 1032;
inline constexpr size_t WRITE_58_MAX_SIZE = 2097152;

/// Reads a block of values into a record and writes a record as a block; both
/// run through a local block, so a failed read leaves the record as it was.
/// A record larger than the block gives LINK_ERROR_INVALID_ARGUMENT.
int32_t ReadValueRecord(uint8_t data_kind, size_t block_size, std::span<int32_t> record,
                        CameraLink* link);
/// Writes `record` as a block of `block_size` bytes of `data_kind`: LinkWriteData's code, or
/// LINK_ERROR_INVALID_ARGUMENT for a record larger than the block.
int32_t WriteValueRecord(uint8_t data_kind, size_t block_size, std::span<const int32_t> record,
                         CameraLink* link);
/// Reads a block unchanged into the buffer, or through a local block that is
/// copied only on success (a buffer larger than one block then gives
/// LINK_ERROR_INVALID_ARGUMENT).
int32_t ReadRawBlock(uint8_t data_kind, std::span<uint8_t> buffer, bool through_local,
                     CameraLink* link);

template <uint8_t DATA_KIND, size_t BLOCK_SIZE, size_t COUNT>
struct ValueRecordRead {
  /// Reads the record: ReadValueRecord's code.
  int32_t operator()(std::span<int32_t, COUNT> record, CameraLink* link) const {
    return ReadValueRecord(DATA_KIND, BLOCK_SIZE, record, link);
  }
};

template <uint8_t DATA_KIND, size_t BLOCK_SIZE, size_t COUNT>
struct ValueRecordWrite {
  /// Writes the record: WriteValueRecord's code.
  int32_t operator()(std::span<const int32_t, COUNT> record, CameraLink* link) const {
    return WriteValueRecord(DATA_KIND, BLOCK_SIZE, record, link);
  }
};

template <uint8_t DATA_KIND, size_t BLOCK_SIZE, bool THROUGH_LOCAL = false>
struct RawRead {
  /// Reads the block into `buffer`: ReadRawBlock's code.
  int32_t operator()(std::span<uint8_t, BLOCK_SIZE> buffer, CameraLink* link) const {
    return ReadRawBlock(DATA_KIND, buffer, THROUGH_LOCAL, link);
  }
};

template <uint8_t DATA_KIND, size_t BLOCK_SIZE>
struct RawWrite {
  /// Writes the block: LinkWriteData's code.
  int32_t operator()(std::span<const uint8_t, BLOCK_SIZE> data, CameraLink* link) const {
    return LinkWriteData(DATA_KIND, data, link);
  }
};

/// A zero-terminated text shorter than 32 characters; the zero is not sent.
struct TextWrite {
  uint8_t data_kind;
  /// Writes the text: LinkWriteString's code.
  int32_t operator()(std::string_view text, CameraLink* link) const {
    return LinkWriteString(data_kind, text, link);
  }
};

inline constexpr ValueRecordRead<5, 8, 2> CameraRead5;
inline constexpr ValueRecordRead<45, 32, 8> CameraRead45;
inline constexpr ValueRecordRead<46, 32, 7> CameraRead46;
inline constexpr ValueRecordRead<49, 48, 12> CameraRead49;
inline constexpr ValueRecordRead<60, 40, 10> CameraRead60;
inline constexpr ValueRecordRead<61, 48, 12> CameraRead61;
inline constexpr ValueRecordRead<69, 8, 2> CameraRead69;
inline constexpr ValueRecordRead<71, 8, 2> CameraRead71;
inline constexpr ValueRecordRead<73, 40, 10> CameraRead73;
inline constexpr ValueRecordRead<80, 32, 8> CameraRead80;
inline constexpr ValueRecordRead<81, 32, 8> CameraRead81;
inline constexpr ValueRecordRead<87, 32, 8> CameraRead87;
inline constexpr ValueRecordRead<88, 32, 8> CameraRead88;
inline constexpr ValueRecordRead<102, 20, 5> CameraRead102;
inline constexpr ValueRecordRead<111, 8, 2> CameraRead111;
inline constexpr ValueRecordRead<124, 68, 16> CameraRead124;

inline constexpr ValueRecordWrite<5, 8, 2> CameraWrite5;
inline constexpr ValueRecordWrite<61, 48, 12> CameraWrite61;
inline constexpr ValueRecordWrite<69, 8, 2> CameraWrite69;
inline constexpr ValueRecordWrite<71, 8, 2> CameraWrite71;
inline constexpr ValueRecordWrite<87, 32, 8> CameraWrite87;
inline constexpr ValueRecordWrite<102, 20, 5> CameraWrite102;
/// The last 4 of its 68 bytes are sent as zeros.
inline constexpr ValueRecordWrite<124, 68, 16> CameraWrite124;

inline constexpr RawRead<21, 2048> CameraRead21;
inline constexpr RawRead<22, 32> CameraRead22;
inline constexpr RawRead<25, 32> CameraRead25;
/// The firmware version text, as CameraGetFirmwareVersion reads it.
inline constexpr RawRead<26, 32> CameraRead26;
inline constexpr RawRead<27, 64> CameraRead27;
inline constexpr RawRead<31, 400> CameraRead31;
inline constexpr RawRead<113, 10, true> CameraRead113;
inline constexpr RawRead<136, 8, true> CameraRead136;
inline constexpr RawRead<137, 32> CameraRead137;

/// Always sends 768 bytes.
inline constexpr RawWrite<21, 768> CameraWrite21;
inline constexpr RawWrite<113, 10> CameraWrite113;
inline constexpr RawWrite<136, 8> CameraWrite136;

inline constexpr TextWrite CameraWriteText22{22};
inline constexpr TextWrite CameraWriteText37{37};
/// Written without selecting an entry.
inline constexpr TextWrite CameraWriteText84{84};

/// A null or short buffer gives LINK_ERROR_COMMAND, sends nothing and leaves
/// the last error.
int32_t CameraRead114(std::span<uint8_t> buffer, CameraLink* link);
/// The usage table, copied to the buffer only when the read succeeds.
int32_t CameraReadUsageTable(std::span<uint8_t, USAGE_TABLE_SIZE> buffer, CameraLink* link);

/// Writes the bytes as data kind 31: LinkWriteData's code.
int32_t CameraWrite31(std::span<const uint8_t> data, CameraLink* link);
/// More than WRITE_58_MAX_SIZE bytes give LINK_ERROR_COMMAND and nothing is
/// sent.
int32_t CameraWrite58(std::span<const uint8_t> data, CameraLink* link);

/// Records with fields of mixed widths, named by their offset in the block.
struct Record57 {
  std::array<uint8_t, 12> bytes_0;
  std::array<uint8_t, 8> bytes_12;
  std::array<uint16_t, 3> values_20;
  std::array<uint8_t, 40> bytes_26;
  int32_t value_66;
  uint16_t value_70;
};

struct Record67 {
  int32_t value_0;
  std::array<uint8_t, 32> bytes_4;
  std::array<uint8_t, 32> bytes_36;
  std::array<int32_t, 5> values_68;
};

struct Record74 {
  std::array<int32_t, 5> values_0;
  std::array<uint8_t, 20> bytes_20;
  std::array<int32_t, 9> values_40;
};

struct Record91 {
  std::array<char, 9> text;  ///< 8 characters and a terminating zero
  std::array<int32_t, 2> values_8;
};

struct Record112 {
  std::array<uint8_t, 8> bytes_0;
  std::array<uint8_t, 16> bytes_8;
  std::array<uint8_t, 4> bytes_24;
  std::array<uint8_t, 12> bytes_28;
};

/// Reads data kind 67 into `record`: LINK_OK, or the read's code.
int32_t CameraRead67(Record67& record, CameraLink* link);
/// Reads data kind 112 into `record`: LINK_OK, or the read's code.
int32_t CameraRead112(Record112& record, CameraLink* link);

/// Reads after selecting the object (property 4).
int32_t CameraRead47(uint32_t object, std::span<int32_t, 8> record, CameraLink* link);
/// Selects `object`, then reads data kind 74 into `record`: LINK_OK,
/// SELECTION_FAILED, or the read's code.
int32_t CameraRead74(uint32_t object, Record74& record, CameraLink* link);
/// Repeated from the selection when the link restarts.
int32_t CameraRead79(std::span<uint8_t, 13> buffer, uint32_t object, CameraLink* link);
/// Selects `object`, then reads data kind 92 into `buffer`: LINK_OK,
/// SELECTION_FAILED, or the read's code.
int32_t CameraRead92(uint32_t object, std::span<uint8_t, 2024> buffer, CameraLink* link);
/// Reads after selecting the entry (property 56 for 57, 83 for 84 and 91).
int32_t CameraRead57(uint32_t entry, Record57& record, CameraLink* link);
/// Selects `entry` (property 83), then reads data kind 84 into `buffer`:
/// LINK_OK, SELECTION_FAILED, or the read's code. The buffer comes first, as
/// the camera's command table has it.
int32_t CameraRead84(std::span<uint8_t, 9> buffer, uint32_t entry, CameraLink* link);
/// Selects `entry` (property 83), then reads data kind 91 into `record`:
/// LINK_OK, SELECTION_FAILED, or the read's code.
int32_t CameraRead91(uint32_t entry, Record91& record, CameraLink* link);

}  // namespace pelox
PELOX_API_END
