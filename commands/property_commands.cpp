#include "commands/property_commands.h"

#include "link/error_record.h"
#include "link/object_mode.h"

namespace pelox {
namespace {

uint32_t SignExtended16(int32_t value) {
  return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(value)));
}

int32_t SetPair(uint8_t first_id, uint8_t second_id, int32_t first, int32_t second,
                CameraLink* link) {
  const int32_t code = LinkSetValue(first_id, SignExtended16(first), link);
  if (code != LINK_OK) return code;
  return LinkSetValue(second_id, SignExtended16(second), link);
}

int32_t GetPair(uint8_t first_id, uint8_t second_id, int16_t& first, int16_t& second,
                CameraLink* link) {
  const int32_t first_value = LinkGetValue(first_id, false, link);
  if (LinkLastError(link) != LINK_OK) return LinkLastError(link);
  first = static_cast<int16_t>(first_value);
  const int32_t second_value = LinkGetValue(second_id, false, link);
  if (LinkLastError(link) != LINK_OK) return LinkLastError(link);
  second = static_cast<int16_t>(second_value);
  return LINK_OK;
}

}  // namespace

int32_t PropertySet16::operator()(int32_t value, CameraLink* link) const {
  return LinkSetValue(property_id, SignExtended16(value), link);
}

int32_t CameraSet109(CameraLink* link) { return LinkSetValue(PROPERTY_109, 0, link); }

int32_t CameraClear109(CameraLink* link) { return CameraSet109(link); }

int32_t CameraSetProperty3(int32_t value, CameraLink* link) {
  if (value < 0 || (value >= 1 && value <= PROPERTY_3_REFUSED_MAX)) {
    return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  }
  return LinkSetValue(PROPERTY_3, static_cast<uint32_t>(value), link);
}

int32_t CameraSetCurrentObjectMode(int32_t value, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  const int32_t code =
      LinkSetValue(PROPERTY_CURRENT_OBJECT_MODE, static_cast<uint32_t>(value), link);
  if (value == 1) {
    if (code == LINK_OK) LinkSetCurrentObjectMode(true, link);
    return code;
  }
  LinkSetCurrentObjectMode(false, link);
  return LINK_OK;
}

int32_t CameraSetPair23(int32_t first, int32_t second, CameraLink* link) {
  return SetPair(PROPERTY_PAIR23_FIRST, PROPERTY_PAIR23_SECOND, first, second, link);
}

int32_t CameraGetPair23(int16_t& first, int16_t& second, CameraLink* link) {
  return GetPair(PROPERTY_PAIR23_FIRST, PROPERTY_PAIR23_SECOND, first, second, link);
}

int32_t CameraSetPair54(int32_t first, int32_t second, CameraLink* link) {
  return SetPair(PROPERTY_PAIR54_FIRST, PROPERTY_PAIR54_SECOND, first, second, link);
}

int32_t CameraGetPair54(int16_t& first, int16_t& second, CameraLink* link) {
  return GetPair(PROPERTY_PAIR54_FIRST, PROPERTY_PAIR54_SECOND, first, second, link);
}

}  // namespace pelox
