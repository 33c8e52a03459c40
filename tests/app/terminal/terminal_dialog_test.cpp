// The terminal front end's pure parts: the drawn dialog and the keys.
// Key codes only, without the functions that curses names as macros.
#define NCURSES_NOMACROS
#include <curses.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_ids.h"
#include "app/resources/strings.h"
#include "app/terminal/dialog_picture.h"
#include "app/terminal/keys.h"

namespace pelox {
namespace {

bool Contains(const std::vector<std::string>& lines, std::string_view text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

TEST(TerminalDialog, DrawsEveryLineOfOneWidthWithCaptionAndButtons) {
  DialogPicture picture;
  picture.message = std::string(StringText(STR_CAMERA_PROBLEM));
  picture.upload_enabled = true;
  picture.focus = CONTROL_UPLOAD;
  picture.progress = 50;
  const std::vector<std::string> lines = DrawDialog(picture);
  ASSERT_FALSE(lines.empty());
  for (const std::string& line : lines) EXPECT_EQ(line.size(), lines.front().size()) << line;
  EXPECT_NE(lines.front().find("Pelox Firmware Uploader"), std::string::npos);
  EXPECT_TRUE(Contains(lines, ">[ Upload ]<"));
  EXPECT_TRUE(Contains(lines, "[ Close ]"));
  EXPECT_TRUE(Contains(lines, " 50%"));
  // The long message is wrapped at words, nothing lost.
  EXPECT_TRUE(Contains(lines, "There is a problem with your camera, please"));
  EXPECT_TRUE(Contains(lines, "contact Pelox Service."));
}

TEST(TerminalDialog, ShowsTwoLineMessagesDisabledButtonsAndTheBusyIndicator) {
  DialogPicture picture;
  picture.message =
      std::string(StringText(STR_UPLOADING)) + "\n" + std::string(StringText(STR_DO_NOT_TURN_OFF));
  picture.close_enabled = false;
  picture.focus = CONTROL_CLOSE;
  picture.busy = true;
  const std::vector<std::string> lines = DrawDialog(picture);
  const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("Uploading...") != std::string::npos;
  });
  ASSERT_NE(first, lines.end());
  ASSERT_NE(first + 1, lines.end());
  EXPECT_NE((first + 1)->find("DO NOT TURN CAMERA OFF!"), std::string::npos);
  EXPECT_TRUE(Contains(lines, "( Upload )"));
  EXPECT_TRUE(Contains(lines, ">( Close )<"));
  EXPECT_TRUE(Contains(lines, "busy"));
  picture.busy = false;
  EXPECT_FALSE(Contains(DrawDialog(picture), "busy"));
}

TEST(TerminalDialog, FillsTheBarInProportionAndKeepsItInRange) {
  DialogPicture picture;
  const auto hashes = [&](int32_t progress) {
    picture.progress = progress;
    const std::vector<std::string> lines = DrawDialog(picture);
    const auto bar = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
      return line.find("%") != std::string::npos;
    });
    return std::count(bar->begin(), bar->end(), '#');
  };
  EXPECT_EQ(hashes(0), 0);
  EXPECT_EQ(hashes(-5), 0);
  EXPECT_EQ(hashes(100), hashes(250));
  EXPECT_EQ(hashes(100), 2 * hashes(50));
}

TEST(TerminalDialog, WrapsAtSpacesLineFeedsAndOverlongWords) {
  EXPECT_EQ(WrapText("one two three", 7), (std::vector<std::string>{"one two", "three"}));
  EXPECT_EQ(WrapText("a\nb", 10), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(WrapText("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
  EXPECT_EQ(WrapText("", 4), std::vector<std::string>{""});
}

TEST(TerminalKeys, MoveTheFocusPressOrCloseAndIgnoreTheRest) {
  const std::vector<std::pair<int, std::optional<Key>>> keys = {
      {'\t', Key::NEXT},        {KEY_BTAB, Key::NEXT},     {KEY_LEFT, Key::NEXT},
      {KEY_DOWN, Key::NEXT},    {'\r', Key::PRESS},        {' ', Key::PRESS},
      {KEY_ENTER, Key::PRESS},  {'\x1b', Key::ESCAPE},     {'q', std::nullopt},
      {KEY_F(5), std::nullopt}, {KEY_RESIZE, std::nullopt}};
  for (const auto& [code, key] : keys) EXPECT_EQ(KeyOfCode(code), key) << code;
}

TEST(TerminalDialog, FitsEachWidthAndWrapsTheMessageInsteadOfCuttingIt) {
  DialogPicture picture;
  picture.message = std::string(StringText(STR_CAMERA_PROBLEM));
  picture.status = "(16038 of 40096 bytes, 11.2 kB/s, 2 s left)";
  picture.versions = "Camera v517-1.00, image v517-2.10";
  picture.detail = "the camera already has v517-1.10";
  picture.note = "cancelling the transfer; the camera keeps its old firmware";
  for (const size_t width : {size_t{34}, size_t{40}, size_t{66}, size_t{120}}) {
    const std::vector<std::string> lines = DrawDialog(picture, width);
    std::string words;
    for (const std::string& line : lines) {
      EXPECT_LE(line.size(), width) << line;
      EXPECT_EQ(line.size(), lines.front().size()) << line;
      if (line.rfind("| | ", 0) == 0) words += line.substr(4, line.find(" |", 4) - 4) + " ";
    }
    // The message's end is there, wrapped rather than cut.
    EXPECT_NE(words.find("please"), std::string::npos) << width;
    EXPECT_NE(words.find("Service."), std::string::npos) << width;
    // So are the versions, the detail and the note, inside the box.
    EXPECT_TRUE(Contains(lines, "v517-2.10")) << width;
    EXPECT_TRUE(Contains(lines, "v517-1.10")) << width;
    EXPECT_TRUE(Contains(lines, "old firmware")) << width;
    EXPECT_TRUE(Contains(lines, "Esc close") || width < 40) << width;
  }
}

}  // namespace
}  // namespace pelox
