#include "commands/block_commands.h"

#include <algorithm>

#include "commands/block_reader.h"
#include "commands/command_steps.h"
#include "commands/property_commands.h"
#include "link/error_record.h"
#include "transport/byte_order.h"

namespace pelox {
namespace {

// The largest block one read returns.
constexpr size_t MAX_BLOCK_SIZE = 2048;
using Block = std::array<uint8_t, MAX_BLOCK_SIZE>;

constexpr uint8_t DATA_KIND_31 = 31;
constexpr uint8_t DATA_KIND_47 = 47;
constexpr uint8_t DATA_KIND_57 = 57;
constexpr uint8_t DATA_KIND_58 = 58;
constexpr uint8_t DATA_KIND_67 = 67;
constexpr uint8_t DATA_KIND_74 = 74;
constexpr uint8_t DATA_KIND_79 = 79;
constexpr uint8_t DATA_KIND_84 = 84;
constexpr uint8_t DATA_KIND_91 = 91;
constexpr uint8_t DATA_KIND_92 = 92;
constexpr uint8_t DATA_KIND_112 = 112;
constexpr uint8_t DATA_KIND_114 = 114;
constexpr size_t BLOCK_47_SIZE = 32;
constexpr size_t BLOCK_57_SIZE = 72;
constexpr size_t BLOCK_67_SIZE = 88;
constexpr size_t BLOCK_74_SIZE = 76;
constexpr size_t BLOCK_91_SIZE = 16;
constexpr size_t BLOCK_112_SIZE = 40;
constexpr size_t BLOCK_114_SIZE = 13;

// A block of this size exists and holds that many 32-bit values.
bool FitsBlock(size_t block_size, size_t values) {
  return block_size <= MAX_BLOCK_SIZE && values * sizeof(int32_t) <= block_size;
}

// Reads a block into a local buffer and, on success, decodes it into the
// record; a failed read leaves the record untouched.
template <typename Record, typename Decode>
int32_t ReadRecord(uint8_t data_kind, size_t block_size, Record& record, Decode decode,
                   CameraLink* link) {
  Block block{};
  const std::span<uint8_t> wire(block.data(), block_size);
  const int32_t code = LinkReadBlock(data_kind, wire, link);
  if (code != LINK_OK) return code;
  BlockReader reader(wire);
  Record decoded{};
  decode(reader, decoded);
  record = decoded;
  return code;
}

// Runs a read after setting the selecting property; -1 when the set fails.
template <typename Read>
int32_t ReadSelected(uint8_t selection_id, uint32_t selection, Read read, CameraLink* link) {
  if (!Select(selection_id, selection, link)) return SELECTION_FAILED;
  return read();
}

void Decode57(BlockReader& reader, Record57& record) {
  reader.Bytes(record.bytes_0);
  reader.Bytes(record.bytes_12);
  for (uint16_t& value : record.values_20) value = reader.Value16();
  reader.Bytes(record.bytes_26);
  record.value_66 = reader.Value32();
  record.value_70 = reader.Value16();
}

void Decode67(BlockReader& reader, Record67& record) {
  record.value_0 = reader.Value32();
  reader.Bytes(record.bytes_4);
  reader.Bytes(record.bytes_36);
  reader.Values32(record.values_68);
}

void Decode74(BlockReader& reader, Record74& record) {
  reader.Values32(record.values_0);
  reader.Bytes(record.bytes_20);
  reader.Values32(record.values_40);
}

void Decode91(BlockReader& reader, Record91& record) {
  std::array<char, 8> text{};
  reader.Bytes(text);
  std::copy(text.begin(), text.end(), record.text.begin());
  record.text.back() = '\0';
  reader.Values32(record.values_8);
}

void Decode112(BlockReader& reader, Record112& record) {
  reader.Bytes(record.bytes_0);
  reader.Bytes(record.bytes_8);
  reader.Bytes(record.bytes_24);
  reader.Bytes(record.bytes_28);
}

}  // namespace

int32_t ReadValueRecord(uint8_t data_kind, size_t block_size, std::span<int32_t> record,
                        CameraLink* link) {
  if (!FitsBlock(block_size, record.size())) return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  Block block{};
  const std::span<uint8_t> wire(block.data(), block_size);
  const int32_t code = LinkReadBlock(data_kind, wire, link);
  if (code != LINK_OK) return code;
  BlockReader reader(wire);
  for (int32_t& value : record) value = reader.Value32();
  return code;
}

int32_t WriteValueRecord(uint8_t data_kind, size_t block_size, std::span<const int32_t> record,
                         CameraLink* link) {
  if (!FitsBlock(block_size, record.size())) return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  Block block{};
  for (size_t i = 0; i < record.size(); ++i) {
    StoreLe32(std::span(block).subspan(4 * i).first<4>(), static_cast<uint32_t>(record[i]));
  }
  return LinkWriteData(data_kind, std::span(block).first(block_size), link);
}

int32_t ReadRawBlock(uint8_t data_kind, std::span<uint8_t> buffer, bool through_local,
                     CameraLink* link) {
  if (!through_local) return LinkReadBlock(data_kind, buffer, link);
  if (buffer.size() > MAX_BLOCK_SIZE) return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  Block block{};
  const std::span<uint8_t> local(block.data(), buffer.size());
  const int32_t code = LinkReadBlock(data_kind, local, link);
  if (code == LINK_OK) std::copy(local.begin(), local.end(), buffer.begin());
  return code;
}

int32_t CameraRead114(std::span<uint8_t> buffer, CameraLink* link) {
  if (buffer.data() == nullptr || buffer.size() < BLOCK_114_SIZE) return LINK_ERROR_COMMAND;
  return LinkReadBlock(DATA_KIND_114, buffer.first(BLOCK_114_SIZE), link);
}

int32_t CameraReadUsageTable(std::span<uint8_t, USAGE_TABLE_SIZE> buffer, CameraLink* link) {
  return ReadRawBlock(DATA_KIND_USAGE_TABLE, buffer, true, link);
}

int32_t CameraWrite31(std::span<const uint8_t> data, CameraLink* link) {
  return LinkWriteData(DATA_KIND_31, data, link);
}

int32_t CameraWrite58(std::span<const uint8_t> data, CameraLink* link) {
  if (data.size() > WRITE_58_MAX_SIZE) return LinkSetError(LINK_ERROR_COMMAND, link);
  return LinkWriteData(DATA_KIND_58, data, link);
}

int32_t CameraRead67(Record67& record, CameraLink* link) {
  return ReadRecord(DATA_KIND_67, BLOCK_67_SIZE, record, Decode67, link);
}

int32_t CameraRead112(Record112& record, CameraLink* link) {
  return ReadRecord(DATA_KIND_112, BLOCK_112_SIZE, record, Decode112, link);
}

int32_t CameraRead47(uint32_t object, std::span<int32_t, 8> record, CameraLink* link) {
  return ReadSelected(
      PROPERTY_OBJECT_NUMBER, object,
      [&] { return ReadValueRecord(DATA_KIND_47, BLOCK_47_SIZE, record, link); }, link);
}

int32_t CameraRead74(uint32_t object, Record74& record, CameraLink* link) {
  return ReadSelected(
      PROPERTY_OBJECT_NUMBER, object,
      [&] { return ReadRecord(DATA_KIND_74, BLOCK_74_SIZE, record, Decode74, link); }, link);
}

int32_t CameraRead79(std::span<uint8_t, 13> buffer, uint32_t object, CameraLink* link) {
  return RepeatOnRestart([&] {
    return ReadSelected(
        PROPERTY_OBJECT_NUMBER, object, [&] { return LinkReadBlock(DATA_KIND_79, buffer, link); },
        link);
  });
}

int32_t CameraRead92(uint32_t object, std::span<uint8_t, 2024> buffer, CameraLink* link) {
  return ReadSelected(
      PROPERTY_OBJECT_NUMBER, object, [&] { return LinkReadBlock(DATA_KIND_92, buffer, link); },
      link);
}

int32_t CameraRead57(uint32_t entry, Record57& record, CameraLink* link) {
  return ReadSelected(
      PROPERTY_ENTRY, entry,
      [&] { return ReadRecord(DATA_KIND_57, BLOCK_57_SIZE, record, Decode57, link); }, link);
}

int32_t CameraRead84(std::span<uint8_t, 9> buffer, uint32_t entry, CameraLink* link) {
  return ReadSelected(
      PROPERTY_TEXT_ENTRY, entry, [&] { return LinkReadBlock(DATA_KIND_84, buffer, link); }, link);
}

int32_t CameraRead91(uint32_t entry, Record91& record, CameraLink* link) {
  return ReadSelected(
      PROPERTY_TEXT_ENTRY, entry,
      [&] { return ReadRecord(DATA_KIND_91, BLOCK_91_SIZE, record, Decode91, link); }, link);
}

}  // namespace pelox
