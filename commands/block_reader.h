#pragma once
// Walks a block read from the camera field by field, in wire order.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "transport/byte_order.h"

namespace pelox {

class BlockReader {
 public:
  explicit BlockReader(std::span<const uint8_t> block) : block_(block) {}

  int32_t Value32() { return static_cast<int32_t>(LoadLe32(Take<4>())); }
  uint16_t Value16() { return LoadLe16(Take<2>()); }

  template <typename Byte, size_t N>
  void Bytes(std::array<Byte, N>& field) {
    const std::span<const uint8_t, N> bytes = Take<N>();
    std::transform(bytes.begin(), bytes.end(), field.begin(),
                   [](uint8_t byte) { return static_cast<Byte>(byte); });
  }

  template <typename Value, size_t N>
  void Values32(std::array<Value, N>& values) {
    for (Value& value : values) value = Value32();
  }

 private:
  template <size_t N>
  std::span<const uint8_t, N> Take() {
    const std::span<const uint8_t, N> field = block_.subspan(offset_).template first<N>();
    offset_ += N;
    return field;
  }

  std::span<const uint8_t> block_;
  size_t offset_ = 0;
};

}  // namespace pelox
