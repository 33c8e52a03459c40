#include "sim/storage/inquiry_data.h"

#include <algorithm>
#include <array>

namespace pelox::sim {
namespace {

constexpr size_t STANDARD_SIZE = 36;
constexpr uint8_t REMOVABLE = 0x80;
constexpr uint8_t SPC2 = 0x04;
constexpr uint8_t ADDITIONAL_LENGTH = STANDARD_SIZE - 5;
constexpr size_t VENDOR_OFFSET = 8;
constexpr size_t VENDOR_SIZE = 8;
constexpr size_t PRODUCT_OFFSET = 16;
constexpr size_t PRODUCT_SIZE = 16;
constexpr size_t REVISION_OFFSET = 32;

void Field(std::span<uint8_t> out, std::string_view text) {
  std::fill(out.begin(), out.end(), uint8_t{' '});
  std::copy_n(text.begin(), std::min(text.size(), out.size()), out.begin());
}

}  // namespace

void FillInquiry(std::span<uint8_t> data, std::string_view vendor, std::string_view product) {
  std::array<uint8_t, STANDARD_SIZE> standard{};
  standard[1] = REMOVABLE;
  standard[2] = SPC2;
  standard[4] = ADDITIONAL_LENGTH;
  Field(std::span(standard).subspan(VENDOR_OFFSET, VENDOR_SIZE), vendor);
  Field(std::span(standard).subspan(PRODUCT_OFFSET, PRODUCT_SIZE), product);
  Field(std::span(standard).subspan(REVISION_OFFSET), "1.00");
  std::fill(data.begin(), data.end(), uint8_t{0});
  std::copy_n(standard.begin(), std::min(data.size(), standard.size()), data.begin());
}

}  // namespace pelox::sim
