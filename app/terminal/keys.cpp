#include "app/terminal/keys.h"

// The key codes only: none of the macros that shadow names such as erase().
#define NCURSES_NOMACROS
#include <curses.h>

namespace pelox {

std::optional<Key> KeyOfCode(int code) {
  switch (code) {
    case '\t':
    case KEY_BTAB:
    case KEY_UP:
    case KEY_DOWN:
    case KEY_LEFT:
    case KEY_RIGHT: return Key::NEXT;
    case '\r':
    case '\n':
    case ' ':
    case KEY_ENTER: return Key::PRESS;
    case '\x1b': return Key::ESCAPE;
    default: return std::nullopt;
  }
}

}  // namespace pelox
