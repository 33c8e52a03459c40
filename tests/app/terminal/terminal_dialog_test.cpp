// The terminal front end's pure parts: the drawn dialog, the keys, the
// options and the plain output.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_ids.h"
#include "app/resources/strings.h"
#include "app/terminal/dialog_picture.h"
#include "app/terminal/keys.h"
#include "app/terminal/options.h"
#include "app/terminal/plain_report.h"

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

TEST(TerminalKeys, DecodesFocusMovesPressesAndALoneEscape) {
  EXPECT_EQ(DecodeKeys("\t\x1b[A\x1b[B\x1b[C\x1b[D\x1b[Z\x1bOC"), std::vector<Key>(7, Key::NEXT));
  EXPECT_EQ(DecodeKeys("\r \n"), std::vector<Key>(3, Key::PRESS));
  EXPECT_EQ(DecodeKeys("\x1b"), std::vector<Key>{Key::ESCAPE});
  EXPECT_EQ(DecodeKeys("\x1b\x1b"), (std::vector<Key>{Key::ESCAPE, Key::ESCAPE}));
  // Other keys and sequences (F5, Delete) do nothing.
  EXPECT_TRUE(DecodeKeys("xq\x1b[15~\x1b[3~").empty());
}

std::vector<std::string_view> Args(std::initializer_list<std::string_view> list) { return list; }

TEST(UploaderOptions, ParsesEveryOption) {
  UploaderOptions options;
  std::string error;
  ASSERT_TRUE(ParseUploaderOptions(
      Args({"--plain", "--yes", "--com1", "/dev/pts/7", "--com2", "/nowhere"}), options, error));
  EXPECT_TRUE(options.plain);
  EXPECT_TRUE(options.yes);
  EXPECT_EQ(options.com1, "/dev/pts/7");
  EXPECT_EQ(options.com2, "/nowhere");
  UploaderOptions none;
  ASSERT_TRUE(ParseUploaderOptions({}, none, error));
  EXPECT_FALSE(none.plain || none.yes || none.com1 || none.com2);
}

TEST(UploaderOptions, RefusesUnknownOptionsAndMissingPaths) {
  UploaderOptions options;
  std::string error;
  EXPECT_FALSE(ParseUploaderOptions(Args({"--com1"}), options, error));
  EXPECT_NE(error.find("--com1"), std::string::npos);
  EXPECT_FALSE(ParseUploaderOptions(Args({"--force"}), options, error));
  EXPECT_NE(error.find("--force"), std::string::npos);
}

TEST(PlainReport, PrintsMessagesLineByLineAndProgressInTens) {
  PlainReport report;
  std::vector<ViewEvent> events = {{true, "Uploading...\nDO NOT TURN CAMERA OFF!", 0}};
  for (const int32_t percent : {0, 3, 9, 10, 15, 27, 100, 0})
    events.push_back({false, {}, percent});
  EXPECT_EQ(report.Lines(events),
            (std::vector<std::string>{"Uploading...", "DO NOT TURN CAMERA OFF!", "Progress: 10%",
                                      "Progress: 20%", "Progress: 100%"}));
}

TEST(PlainReport, StaysQuietWhileTheBarOnlyAlternates) {
  PlainReport report;
  const std::vector<ViewEvent> events = {
      {true, "Writing Firmware...", 0}, {false, {}, 100}, {false, {}, 0}, {false, {}, 100}};
  EXPECT_EQ(report.Lines(events), std::vector<std::string>{"Writing Firmware..."});
}

}  // namespace
}  // namespace pelox
