#pragma once
// The keys the drawn dialog answers, from the codes ncurses reads.
#include <optional>

namespace pelox {

enum class Key { NEXT, PRESS, ESCAPE };

// Tab, Shift+Tab and the arrows move the focus (NEXT); Enter and Space press
// the focused button; Esc is Close. Other keys do nothing.
std::optional<Key> KeyOfCode(int code);

}  // namespace pelox
