#pragma once
// The Main dialog as text: what the terminal front end draws, kept apart
// from the terminal so that it can be checked line by line.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelox {

inline constexpr std::string_view DIALOG_CAPTION = "Pelox Firmware Uploader";
// The dialog's width where the terminal has room; in a narrower one the
// message area shrinks, down to the width below which it is not drawn.
inline constexpr size_t DIALOG_WIDTH = 66;
inline constexpr size_t DIALOG_MIN_WIDTH = 34;

struct DialogPicture {
  std::string message;  // may hold a line feed
  bool upload_enabled = false;
  bool close_enabled = true;
  int32_t focus = 0;        // control id, 0 for none
  int32_t progress = 0;     // 0 to 100
  bool busy = false;        // the wait cursor is showing
  uint32_t busy_frame = 0;  // turns the busy indicator
  std::string status;       // under the bar: bytes and rate, or the wait's seconds
  std::string versions;     // the camera's and the image's versions, once known
  std::string detail;       // why the run ended as it did, once the chain ends
  std::string note;         // what the program tells of a signal or of its log
};

// The dialog's lines, all of one width that fits `width`: caption, the
// framed message (wrapped at words, a line feed starting a new line), the
// Upload and Close buttons beside it, the detail under it, the progress
// bar, the status and versions lines and the note, each wrapped rather than
// cut, and the keys' hint under the box. A focused button reads
// >[ Upload ]<, a disabled one ( Upload ).
std::vector<std::string> DrawDialog(const DialogPicture& picture, size_t width = DIALOG_WIDTH);

// Breaks `text` into lines of at most `width` characters, at spaces where it
// can and at line feeds always.
std::vector<std::string> WrapText(std::string_view text, size_t width);

}  // namespace pelox
