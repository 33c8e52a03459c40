#include "commands/firmware_commands.h"

#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "link/error_record.h"
#include "platform/clock.h"
#include "platform/file.h"

namespace pelox {
namespace {

int32_t ReadText(uint8_t data_kind, std::span<char, CAMERA_TEXT_SIZE> text, CameraLink* link) {
  return LinkReadBlock(data_kind, {reinterpret_cast<uint8_t*>(text.data()), text.size()}, link);
}

// Reads until the buffer is full or the file ends; false on a failed read.
bool ReadFully(FileHandle file, std::span<uint8_t> buffer) {
  while (!buffer.empty()) {
    const int64_t count = FileRead(file, buffer);
    if (count <= 0) return false;
    buffer = buffer.subspan(static_cast<size_t>(count));
  }
  return true;
}

}  // namespace

int32_t CameraGetVendor(std::span<char, CAMERA_TEXT_SIZE> text, CameraLink* link) {
  return ReadText(DATA_KIND_MAKER, text, link);
}

int32_t CameraGetFirmwareVersion(std::span<char, CAMERA_TEXT_SIZE> text, CameraLink* link) {
  return ReadText(DATA_KIND_FIRMWARE_VERSION, text, link);
}

int32_t CameraGetFirmwareFamily(std::span<char, CAMERA_FAMILY_SIZE + 1> family, CameraLink* link) {
  std::array<char, CAMERA_TEXT_SIZE> version{};
  const int32_t code = CameraGetFirmwareVersion(version, link);
  if (code != LINK_OK) return code;
  const auto end = std::find(version.begin(), version.begin() + CAMERA_FAMILY_SIZE, '\0');
  if (end != version.begin() + CAMERA_FAMILY_SIZE) return LinkSetError(LINK_ERROR_UNEXPECTED, link);
  std::copy(version.begin(), end, family.begin());
  family[CAMERA_FAMILY_SIZE] = '\0';
  return LINK_OK;
}

int32_t CameraGetBatteryLevel(CameraLink* link) {
  return LinkGetValue(PROPERTY_BATTERY_LEVEL, false, link);
}

int32_t CameraGetBatteryLevelChecked(uint32_t& level, CameraLink* link) {
  return LinkGetValueChecked(PROPERTY_BATTERY_LEVEL, false, level, link);
}

int32_t CameraSetUploadKey(uint32_t key, CameraLink* link) {
  return LinkSetValue(PROPERTY_UPLOAD_KEY, key, link);
}

int32_t CameraGetUploadKey(CameraLink* link) {
  return LinkGetValue(PROPERTY_UPLOAD_KEY, false, link);
}

int32_t CameraGetUploadKeyChecked(uint32_t& key, CameraLink* link) {
  return LinkGetValueChecked(PROPERTY_UPLOAD_KEY, false, key, link);
}

int32_t CameraUploadFirmwareFile(FileHandle file, uint32_t key, CameraLink* link) {
  const int32_t code = CameraSetUploadKey(key, link);
  if (code != LINK_OK) return code;
  return CameraSendFirmwareFile(file, link);
}

int32_t CameraSendFirmwareFile(FileHandle file, CameraLink* link) {
  const int64_t size = FileSize(file);
  if (size < 0) return LinkSetError(LINK_ERROR_COMMAND, link);
  if (!FileRewind(file)) return LinkSetError(LINK_ERROR_INTERNAL, link);
  if (size > FIRMWARE_FILE_MAX_SIZE) return LinkSetError(LINK_ERROR_COMMAND, link);

  std::vector<uint8_t> data;
  try {
    data.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return LinkSetError(LINK_ERROR_INTERNAL, link);
  }
  // A file that yields fewer bytes than its size is refused: what was not
  // read must never reach the camera as firmware.
  if (!ReadFully(file, data)) return LinkSetError(LINK_ERROR_INTERNAL, link);
  return LinkWriteData(DATA_KIND_FIRMWARE, data, link);
}

int32_t CameraUploadFirmwareData(std::span<const uint8_t> data, uint32_t key, CameraLink* link) {
  const int32_t code = CameraSetUploadKey(key, link);
  if (code != LINK_OK) return code;
  if (data.size() > FIRMWARE_FILE_MAX_SIZE) return LinkSetError(LINK_ERROR_COMMAND, link);
  return LinkWriteData(DATA_KIND_FIRMWARE, data, link);
}

int32_t CameraUploadFirmwareImage(std::span<const uint8_t> image, CameraLink* link) {
  if (image.size() > FIRMWARE_IMAGE_MAX_SIZE) return LinkSetError(LINK_ERROR_COMMAND, link);
  const int32_t code = CameraSetUploadKey(FIRMWARE_IMAGE_UPLOAD_KEY, link);
  if (code != LINK_OK) return code;
  return LinkWriteData(DATA_KIND_FIRMWARE, image, link);
}

int32_t CameraWriteFirmware(CameraLink* link) {
  // The camera needs a pause after the last data frame before the write.
  const uint32_t start = ClockTickCount();
  for (uint32_t waited = 0; waited < FIRMWARE_WRITE_DELAY_MS; waited = ClockTickCount() - start) {
    ClockSleep(FIRMWARE_WRITE_DELAY_MS - waited);
  }
  return LinkExecuteOnce(ACTION_WRITE_FIRMWARE, 0, FIRMWARE_WRITE_BUSY_MS, link);
}

}  // namespace pelox
