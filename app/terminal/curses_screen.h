#pragma once
// The drawn dialog on the terminal through ncurses: it fits the terminal's
// width, follows resizing, and sends only what changed. Where the terminal
// cannot address the cursor or is too small, it does not start and the
// uploader prints lines instead.
#include <optional>
#include <vector>

#include "app/terminal/dialog_picture.h"
#include "app/terminal/keys.h"

namespace pelox {

class CursesScreen {
 public:
  CursesScreen() = default;
  ~CursesScreen();
  CursesScreen(const CursesScreen&) = delete;
  CursesScreen& operator=(const CursesScreen&) = delete;

  // Takes the terminal on standard input and output; false, with the
  // terminal left as it was, where the dialog cannot be drawn.
  bool Start();
  void Draw(const DialogPicture& picture);
  // The keys typed since the last call.
  std::vector<Key> TakeKeys();

 private:
  bool started_ = false;
};

}  // namespace pelox
