#include "commands/object_commands.h"

#include <algorithm>
#include <array>

#include "commands/command_steps.h"
#include "commands/property_commands.h"
#include "link/error_record.h"
#include "link/link_info.h"
#include "link/object_mode.h"

namespace pelox {
namespace {

constexpr std::array<uint8_t, 2> JPEG_START{0xFF, 0xD8};

// Selects the object unless told to take the current one, then asks for one
// of its properties; repeated from the selection after a restart.
int32_t GetObjectProperty(uint8_t property_id, uint32_t object, bool take_current,
                          CameraLink* link) {
  return RepeatOnRestart([&] {
    if (!take_current && !Select(PROPERTY_OBJECT_NUMBER, object, link)) return SELECTION_FAILED;
    return LinkGetValue(property_id, true, link);
  });
}

// The same with its code apart from the value.
LinkError GetObjectPropertyChecked(uint8_t property_id, uint32_t object, uint32_t& value,
                                   CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  const bool take_current = LinkInCurrentObjectMode(link);
  return static_cast<LinkError>(RepeatOnRestart([&] {
    if (!take_current && !Select(PROPERTY_OBJECT_NUMBER, object, link)) {
      return LinkLastError(link);
    }
    return LinkGetValueChecked(property_id, true, value, link);
  }));
}

// The old form of a checked get: the value, or -1 once anything failed.
template <typename CheckedGet>
int32_t ValueOrFailure(CheckedGet get) {
  uint32_t value = 0;
  return get(value) == LINK_OK ? static_cast<int32_t>(value) : -1;
}

// The size of the read: 64000 in current-object mode, else the selected
// object's size property. 0 with the size, otherwise the code (or restart).
int32_t ObjectReadSize(uint8_t size_property_id, uint32_t object, std::span<uint8_t> buffer,
                       uint32_t& size, CameraLink* link) {
  if (LinkInCurrentObjectMode(link)) {
    if (buffer.size() < CURRENT_OBJECT_READ_SIZE) {
      return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
    }
    size = CURRENT_OBJECT_READ_SIZE;
    return LINK_OK;
  }
  const int32_t code = LinkSetValue(PROPERTY_OBJECT_NUMBER, object, link);
  if (code != LINK_OK) return code;
  const int32_t value = LinkGetValue(size_property_id, true, link);
  const int32_t verdict = CheckObjectSize(value, buffer.size(), link);
  if (verdict == LINK_OK) size = static_cast<uint32_t>(value);
  return verdict;
}

int32_t ReadObjectData(uint8_t size_property_id, uint8_t data_kind, std::span<uint8_t> buffer,
                       uint32_t object, uint32_t& size, CameraLink* link) {
  return RepeatOnRestart([&] {
    const int32_t code = ObjectReadSize(size_property_id, object, buffer, size, link);
    if (code != LINK_OK) return code;
    // In current-object mode the size is only an upper bound.
    if (LinkInCurrentObjectMode(link))
      return LinkReadDataUpTo(data_kind, buffer.first(size), 0, link);
    return LinkReadData(data_kind, buffer.first(size), object, 0, link);
  });
}

// Moves the data so that it starts at its first JPEG marker, if it does not
// already and the marker is in it.
void MoveToJpegStart(std::span<uint8_t> data) {
  const auto marker = std::search(data.begin(), data.end(), JPEG_START.begin(), JPEG_START.end());
  if (marker == data.begin() || marker == data.end()) return;
  std::copy(marker, data.end(), data.begin());
}

}  // namespace

int32_t CameraCountObjects(uint32_t& count, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  for (uint32_t number = FIRST_OBJECT_NUMBER; number <= OBJECT_COUNT_LIMIT; ++number) {
    const int32_t code = LinkSetValue(PROPERTY_OBJECT_NUMBER, number, link);
    if (code == LINK_ERROR_CAMERA_ERROR) {
      // The refusal is the answer sought, not a failure of the link.
      count = number - FIRST_OBJECT_NUMBER;
      return LinkSetError(LINK_OK, link);
    }
    if (code != LINK_OK) return code;
  }
  return LinkSetError(LINK_ERROR_UNEXPECTED, link);
}

LinkError CameraGetObjectSizeChecked(uint32_t object, uint32_t& size, CameraLink* link) {
  return GetObjectPropertyChecked(PROPERTY_OBJECT_SIZE, object, size, link);
}

LinkError CameraGetSecondarySizeChecked(uint32_t object, uint32_t& size, CameraLink* link) {
  return GetObjectPropertyChecked(PROPERTY_SECONDARY_SIZE, object, size, link);
}

int32_t CameraGetObjectSize(uint32_t object, CameraLink* link) {
  return ValueOrFailure(
      [&](uint32_t& size) { return CameraGetObjectSizeChecked(object, size, link); });
}

int32_t CameraGetSecondarySize(uint32_t object, CameraLink* link) {
  return ValueOrFailure(
      [&](uint32_t& size) { return CameraGetSecondarySizeChecked(object, size, link); });
}

int32_t CameraGet39(uint32_t object, CameraLink* link) {
  return GetObjectProperty(PROPERTY_39, object, false, link);
}

int32_t CameraReadObject(std::span<uint8_t> buffer, uint32_t object, CameraLink* link) {
  uint32_t size = 0;
  return ReadObjectData(PROPERTY_OBJECT_SIZE, DATA_KIND_OBJECT, buffer, object, size, link);
}

int32_t CameraReadSecondary(std::span<uint8_t> buffer, uint32_t object, CameraLink* link) {
  uint32_t size = 0;
  const int32_t code =
      ReadObjectData(PROPERTY_SECONDARY_SIZE, DATA_KIND_SECONDARY, buffer, object, size, link);
  if (code == LINK_OK && LinkVendorCode(link) == VENDOR_CODE_JPEG_OFFSET) {
    MoveToJpegStart(buffer.first(size));
  }
  return code;
}

int32_t CameraReadObjectToFile(FileHandle file, uint32_t object, CameraLink* link) {
  return LinkReadObjectToFile(PROPERTY_OBJECT_SIZE, DATA_KIND_OBJECT, file, object, link);
}

int32_t CameraReadSecondaryToFile(FileHandle file, uint32_t object, CameraLink* link) {
  return LinkReadObjectToFile(PROPERTY_SECONDARY_SIZE, DATA_KIND_SECONDARY, file, object, link);
}

int32_t CameraReadCurrentObject(std::span<uint8_t> buffer, int32_t& size, CameraLink* link) {
  size = LinkGetValue(PROPERTY_OBJECT_SIZE, true, link);
  const int32_t verdict = CheckObjectSize(size, buffer.size(), link);
  if (verdict != LINK_OK) return verdict;
  return LinkReadData(DATA_KIND_OBJECT, buffer.first(static_cast<size_t>(size)), 0, 0, link);
}

}  // namespace pelox
