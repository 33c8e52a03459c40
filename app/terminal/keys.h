#pragma once
// The keys the terminal dialog answers, decoded from the bytes a terminal
// sends in raw mode.
#include <string_view>
#include <vector>

namespace pelox {

enum class Key { NEXT, PRESS, ESCAPE };

// Tab, Shift+Tab and the arrows move the focus (NEXT); Enter and Space press
// the focused button; a lone Esc is Close. Other bytes are ignored.
std::vector<Key> DecodeKeys(std::string_view bytes);

}  // namespace pelox
