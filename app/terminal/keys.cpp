#include "app/terminal/keys.h"

namespace pelox {
namespace {

constexpr char ESC = '\x1b';

// Length of an escape sequence starting at `at` (CSI or SS3), 1 for a lone
// Esc.
size_t SequenceLength(std::string_view bytes, size_t at) {
  if (at + 1 >= bytes.size() || (bytes[at + 1] != '[' && bytes[at + 1] != 'O')) return 1;
  size_t end = at + 2;
  // Parameters, then one final byte.
  while (end < bytes.size() && ((bytes[end] >= '0' && bytes[end] <= '9') || bytes[end] == ';')) {
    ++end;
  }
  return end < bytes.size() ? end - at + 1 : bytes.size() - at;
}

bool IsFocusMove(char final_byte) {
  return final_byte == 'A' || final_byte == 'B' || final_byte == 'C' || final_byte == 'D' ||
         final_byte == 'Z';
}

}  // namespace

std::vector<Key> DecodeKeys(std::string_view bytes) {
  std::vector<Key> keys;
  for (size_t at = 0; at < bytes.size();) {
    const char byte = bytes[at];
    if (byte == ESC) {
      const size_t length = SequenceLength(bytes, at);
      if (length == 1) {
        keys.push_back(Key::ESCAPE);
      } else if (IsFocusMove(bytes[at + length - 1])) {
        keys.push_back(Key::NEXT);
      }
      at += length;
      continue;
    }
    if (byte == '\t') keys.push_back(Key::NEXT);
    if (byte == '\r' || byte == '\n' || byte == ' ') keys.push_back(Key::PRESS);
    ++at;
  }
  return keys;
}

}  // namespace pelox
