#include "app/terminal/curses_screen.h"

// The functions, not the macros that shadow names such as erase().
#define NCURSES_NOMACROS
#include <curses.h>
#include <term.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>

#include "app/terminal/terminal_rescue.h"

namespace pelox {
namespace {

// A lone Esc is Close; wait no longer than this for the rest of a sequence.
constexpr int ESCAPE_DELAY_MS = 25;

// What gives the terminal back its screen, cursor and colours; empty for
// what the terminal does not have.
std::string ResetSequence() {
  std::string reset;
  for (const char* capability : {"rmcup", "cnorm", "sgr0"}) {
    const char* sequence = tigetstr(capability);
    if (sequence != nullptr && sequence != reinterpret_cast<char*>(-1)) reset += sequence;
  }
  return reset;
}

}  // namespace

CursesScreen::~CursesScreen() {
  if (!started_) return;
  StopRescuingTerminal();
  endwin();
}

bool CursesScreen::Start() {
  std::setlocale(LC_ALL, "");
  termios settings{};
  const bool have_settings = tcgetattr(STDIN_FILENO, &settings) == 0;
  SCREEN* screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) return false;
  // Without cursor addressing nothing can be redrawn in place.
  const char* move = tigetstr("cup");
  if (move == nullptr || move == reinterpret_cast<char*>(-1) ||
      static_cast<size_t>(COLS) < DIALOG_MIN_WIDTH ||
      static_cast<size_t>(LINES) < DrawDialog({}, DIALOG_MIN_WIDTH).size()) {
    endwin();
    delscreen(screen);
    return false;
  }
  started_ = true;
  if (have_settings) RescueTerminalOnFault(settings, ResetSequence());
  cbreak();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  nodelay(stdscr, TRUE);
  set_escdelay(ESCAPE_DELAY_MS);
  curs_set(0);
  return true;
}

void CursesScreen::Draw(const DialogPicture& picture) {
  // term.h names capabilities as macros (lines, columns): other names here.
  const std::vector<std::string> drawn = DrawDialog(picture, static_cast<size_t>(COLS));
  erase();
  for (size_t row = 0; row < drawn.size() && row < static_cast<size_t>(LINES); ++row) {
    mvaddnstr(static_cast<int>(row), 0, drawn[row].c_str(), COLS);
  }
  // Only the cells that differ from the last picture go out.
  refresh();
}

std::vector<Key> CursesScreen::TakeKeys() {
  std::vector<Key> keys;
  for (int code = getch(); code != ERR; code = getch()) {
    if (const std::optional<Key> key = KeyOfCode(code)) keys.push_back(*key);
  }
  return keys;
}

}  // namespace pelox
