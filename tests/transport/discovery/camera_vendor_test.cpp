#include "transport/discovery/camera_vendor.h"

#include <gtest/gtest.h>

#include <string_view>

namespace pelox {
namespace {

int32_t Lookup(std::string_view field, uint16_t& code) {
  return CameraVendorLookup({reinterpret_cast<const uint8_t*>(field.data()), field.size()}, code);
}

TEST(CameraVendorLookupTest, NamesMatchWithoutRegardToCaseOrWhatFollows) {
  struct Case {
    std::string_view field;
    uint16_t code;
  };
  for (const Case& c : {Case{"PELOX   ", VENDOR_PELOX}, Case{"pelox   ", VENDOR_PELOX},
                        Case{"OLYMPUS ", VENDOR_OLYMPUS}, Case{"OLYMPUSX", VENDOR_OLYMPUS},
                        Case{"Epson   ", VENDOR_EPSON}, Case{"MINOLTA ", VENDOR_MINOLTA},
                        Case{"SANYO   ", VENDOR_SANYO}, Case{"PELOXCAM", VENDOR_PELOX}}) {
    uint16_t code = 0;
    EXPECT_EQ(Lookup(c.field, code), VENDOR_FOUND) << c.field;
    EXPECT_EQ(code, c.code) << c.field;
  }
}

TEST(CameraVendorLookupTest, OtherFieldsAreNoCameraAndLeaveTheCodeAlone) {
  for (std::string_view field :
       {"PELO    ", "OLYMPU  ", "Generic ", "SanDisk ", "        ", "P", "", "PEL0X   "}) {
    uint16_t code = 0xBEEF;
    EXPECT_EQ(Lookup(field, code), VENDOR_NOT_A_CAMERA) << field;
    EXPECT_EQ(code, 0xBEEF) << field;
  }
}

}  // namespace
}  // namespace pelox
