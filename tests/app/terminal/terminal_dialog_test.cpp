// The terminal front end's pure parts: the drawn dialog, the keys, the
// options, the devices probed and the line output.
// Key codes only, without the functions that curses names as macros.
#define NCURSES_NOMACROS
#include <curses.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/dialog_ids.h"
#include "app/resources/strings.h"
#include "app/terminal/device_choice.h"
#include "app/terminal/dialog_picture.h"
#include "app/terminal/keys.h"
#include "app/terminal/link_event_text.h"
#include "app/terminal/options.h"
#include "app/terminal/run_report.h"
#include "app/terminal/run_verdict.h"
#include "link/camera_link.h"
#include "platform/serial_map.h"

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

struct CommandLineCase {
  std::vector<std::string> arguments;  // after the program's name
  int exit_status;                     // -1: the program runs
  std::string image;
  std::vector<std::string> ports;
  std::string text;  // what the printed text holds
};

TEST(UploaderOptions, ParseEachFormAndRefuseBadUsageWithAOneLineHint) {
  const std::vector<CommandLineCase> cases = {
      {{}, -1, "", {}, ""},
      {{"fw.bin", "--port", "/dev/ttyUSB1", "--port=/dev/serial/by-id/x"},
       -1,
       "fw.bin",
       {"/dev/ttyUSB1", "/dev/serial/by-id/x"},
       ""},
      {{"--com2", "/b", "--port", "/a"}, -1, "", {"/a", "/b"}, ""},
      {{"--com1=/a", "--com2", "/b"}, -1, "", {"/a", "/b"}, ""},
      {{"--port", "/a", "--port", "/a", "--com2", "/a"}, -1, "", {"/a"}, ""},
      {{"--help"}, 0, "", {}, "7    state uncertain"},
      {{"--help"}, 0, "", {}, "Exit status:"},
      {{"-V"}, 0, "", {}, "pelox-uploader " PELOX_VERSION},
      {{"--bogus"}, 2, "", {}, "--bogus"},
      {{"--port"}, 2, "", {}, "--port"},
      {{"--port", "a", "--port", "b", "--com1", "c"}, 2, "", {}, "two serial ports"},
      {{"--speed", "1234"}, 2, "", {}, "1234"},
      {{"--speed", "fast"}, 2, "", {}, "fast"},
      {{"--list", "--check"}, 2, "", {}, "--list"},
      {{"--inspect", "fw.bin", "--check"}, 2, "", {}, "--inspect"},
      {{"a.bin", "b.bin"}, 2, "", {}, "b.bin"},
      {{"--record-image"}, 2, "", {}, "--record FILE"},
  };
  for (const CommandLineCase& entry : cases) {
    std::vector<std::string> arguments = {"pelox-uploader"};
    arguments.insert(arguments.end(), entry.arguments.begin(), entry.arguments.end());
    const CommandLine parsed = ParseCommandLine(arguments);
    const std::string shown = ::testing::PrintToString(entry.arguments);
    if (entry.exit_status < 0) {
      ASSERT_TRUE(parsed.options.has_value()) << shown << parsed.text;
      EXPECT_EQ(parsed.options->image, entry.image) << shown;
      EXPECT_EQ(parsed.options->ports, entry.ports) << shown;
      continue;
    }
    EXPECT_FALSE(parsed.options.has_value()) << shown;
    EXPECT_EQ(parsed.exit_status, entry.exit_status) << shown;
    EXPECT_NE(parsed.text.find(entry.text), std::string::npos) << shown << parsed.text;
    if (entry.exit_status == 2) {
      // The problem and a hint, not the whole help text.
      EXPECT_EQ(std::count(parsed.text.begin(), parsed.text.end(), '\n'), 2) << parsed.text;
      EXPECT_NE(parsed.text.find("--help"), std::string::npos) << parsed.text;
    }
  }
}

TEST(UploaderOptions, TakeEveryModeAndTheSpeedOfTheTable) {
  const CommandLine parsed = ParseCommandLine(std::vector<std::string>{
      "pelox-uploader", "-vvv", "-q", "--json", "--log", "trace.txt", "--check", "--yes", "--plain",
      "--device", "/dev/sg2", "--speed", "230400", "--record", "run.jsonl", "--record-image"});
  ASSERT_TRUE(parsed.options.has_value()) << parsed.text;
  const UploaderOptions& options = *parsed.options;
  EXPECT_EQ(options.verbosity, 2);
  EXPECT_TRUE(options.quiet && options.json && options.check && options.yes && options.plain);
  EXPECT_EQ(options.log_file, "trace.txt");
  EXPECT_EQ(options.device, "/dev/sg2");
  EXPECT_EQ(options.speed_index, 6);
  EXPECT_EQ(options.record_file, "run.jsonl");
  EXPECT_TRUE(options.record_image);
}

TEST(DeviceChoice, OpensNoSerialDeviceThatWasNotNamed) {
  ChooseDevices(UploaderOptions{});
  EXPECT_EQ(SerialDevicePath(1), "");
  EXPECT_EQ(SerialDevicePath(2), "");
  UploaderOptions options;
  options.ports = {"/dev/ttyUSB3"};
  ChooseDevices(options);
  EXPECT_EQ(SerialDevicePath(1), "/dev/ttyUSB3");
  EXPECT_EQ(SerialDevicePath(2), "");
  SerialResetDeviceMap();
}

LinkEvent Acknowledged(uint64_t bytes) {
  LinkEvent event;
  event.kind = LinkEventKind::BYTES_ACKNOWLEDGED;
  event.bytes = bytes;
  event.total = 1000;
  return event;
}

LinkEvent Resent(int32_t try_number, uint32_t frame, bool nak, uint32_t silent_ms) {
  LinkEvent event = TryEvent(LinkEventKind::FRAME_SENT_AGAIN, try_number, 4, silent_ms);
  event.frame = frame;
  event.nak = nak;
  return event;
}

TEST(RunReport, PrintsMessagesLineByLineAndAcknowledgedBytesInTens) {
  RunReport report(ReportStyle::PLAIN, 0);
  report.SetImageSize(1000);
  report.EnterPhase({UpdatePhase::TRANSFERRING}, 0);
  std::vector<std::string> lines =
      report.Message(STR_UPLOADING, "Uploading...\nDO NOT TURN CAMERA OFF!", 0);
  // The bar's percent alone is no count of bytes.
  EXPECT_TRUE(report.Progress(40, 500).empty());
  for (const uint64_t bytes : std::vector<uint64_t>{0, 30, 90, 100, 150, 270, 1000}) {
    for (std::string& line : report.Link(Acknowledged(bytes), 1000)) lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 5U) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[1], "DO NOT TURN CAMERA OFF!");
  EXPECT_EQ(lines[2].rfind("Progress: 10% (100 of 1000 bytes", 0), 0U) << lines[2];
  EXPECT_EQ(lines[4].rfind("Progress: 100% (1000 of 1000 bytes, 1.0 kB/s", 0), 0U) << lines[4];
  EXPECT_EQ(report.BarPercent(1000), 40);
}

TEST(RunReport, ShowsAStallInsteadOfTimeLeftAndARecentRate) {
  RunReport report(ReportStyle::PLAIN, 0);
  report.SetImageSize(1000);
  report.EnterPhase({UpdatePhase::TRANSFERRING}, 0);
  report.Message(STR_UPLOADING, "Uploading...", 0);
  report.Link(Acknowledged(100), 1000);
  report.Link(Acknowledged(200), 2000);
  EXPECT_EQ(report.Status(3000), "(200 of 1000 bytes, 0.1 kB/s, 8 s left)");
  EXPECT_EQ(report.Status(5500), "(200 of 1000 bytes, waiting for the camera: no answer for 3 s)");
  // After a stall the rate is the recent one, not the run's average.
  report.Link(Acknowledged(300), 20000);
  report.Link(Acknowledged(700), 21000);
  EXPECT_EQ(report.Status(21000), "(700 of 1000 bytes, 0.4 kB/s, 0 s left)");
}

TEST(RunReport, CountsTheWriteWaitInSecondsAndNeverGoesQuietForLong) {
  RunReport report(ReportStyle::PLAIN, 0);
  report.EnterPhase({UpdatePhase::WRITING, RunCause::NONE, true}, 0);
  EXPECT_EQ(report.Message(STR_WRITING, "Writing Firmware...", 0),
            std::vector<std::string>{"Writing Firmware..."});
  // The busy bar alternating is no progress.
  EXPECT_TRUE(report.Progress(100, 500).empty());
  EXPECT_TRUE(report.Tick(4000).empty());
  EXPECT_EQ(report.Tick(5000),
            std::vector<std::string>{"Waiting for the camera: 5 s of at most 60 s"});
  EXPECT_EQ(report.BarPercent(30000), 50);
  report.EnterPhase({UpdatePhase::ENDED, RunCause::WRITTEN, true}, 35000);
  report.Message(STR_WRITE_COMPLETE, "Writing Firmware is complete.", 35000);
  EXPECT_EQ(report.BarPercent(35000), 100);
}

// Each cause with the word and status a script sees and the detail a
// person reads: the step machine's cause, turned by the run's signal.
struct VerdictCase {
  DialogFacts facts;
  RunEnd end;
  SearchNotes search;
  int exit_status;
  std::string detail;  // what the detail line holds
  std::string never;   // and never holds
  std::string cause;   // the word for scripts
};

DialogFacts Failed(int32_t step, int32_t step_error = 0) {
  DialogFacts facts;
  facts.failed_step = step;
  facts.step_error = step_error;
  return facts;
}

RunEnd Ended(RunCause cause, bool interrupted = false) {
  RunEnd end;
  end.cause = cause;
  end.interrupted = interrupted;
  return end;
}

DialogFacts Camera(const char* maker, const char* version, int32_t battery) {
  DialogFacts facts = Failed(STEP_CHECK_CAMERA);
  facts.maker = maker;
  facts.camera_version = version;
  facts.image_version = "v517-1.10";
  facts.battery = battery;
  facts.battery_threshold = 50;
  return facts;
}

TEST(RunVerdict, GivesEachCauseItsStatusAndASafeRemedy) {
  DialogFacts write_sent = Failed(STEP_WRITE_FAILED);
  write_sent.write_command_sent = true;
  DialogFacts too_many_files = Failed(STEP_OPEN_FIRMWARE, STEP_ERROR_FILE_NOT_FOUND);
  too_many_files.image_open_error = EMFILE;
  const DialogFacts not_found = Failed(STEP_OPEN_FIRMWARE, STEP_ERROR_FILE_NOT_FOUND);
  RunEnd fw_is_a_directory = Ended(RunCause::IMAGE_REFUSED);
  fw_is_a_directory.image = "fw";
  fw_is_a_directory.image_kind = "a directory";
  const auto denied = [](const char* group) {
    return SearchNotes{{{"/dev/x", EACCES, group, 0}}, {}, 0, {}};
  };
  const SearchNotes heard{{{"/dev/x", 0, "dialout", 12}}, {}, 0, {}};
  const auto refused = [](std::vector<uint8_t> sense) {
    DialogFacts facts = Failed(STEP_WRITE_FAILED);
    facts.link_error = LINK_ERROR_CAMERA_GONE;
    facts.sense = std::move(sense);
    return facts;
  };
  const std::vector<uint8_t> fixed{0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x24, 0x00};
  // Its additional length ends it before the code and qualifier.
  const std::vector<uint8_t> cut_fixed{0x70, 0, 0x05, 0, 0, 0, 0, 0x03, 0, 0, 0, 0, 0x24, 0x00};
  const RunEnd uncertain = Ended(RunCause::WRITE_UNCERTAIN);
  const RunEnd failed = Ended(RunCause::WRITE_FAILED);
  const RunEnd no_camera = Ended(RunCause::NO_CAMERA);
  RunEnd would_update = Ended(RunCause::CLOSED);
  would_update.ready = true;
  would_update.check_only = true;
  const std::vector<VerdictCase> cases = {
      {write_sent, uncertain, {}, 7, "may have reached the camera", "(success)", "write-uncertain"},
      {write_sent,
       Ended(RunCause::WRITE_UNCERTAIN, true),
       {},
       7,
       "its firmware is uncertain",
       "cancelled",
       "write-uncertain"},
      {Failed(STEP_WRITE_FAILED),
       failed,
       {},
       1,
       "keeps its old firmware",
       "(success)",
       "write-failed"},
      {Failed(STEP_WRITE_FAILED),
       Ended(RunCause::WRITE_FAILED, true),
       {},
       130,
       "the transfer was cancelled after 0 of",
       "retry",
       "interrupted"},
      {Failed(STEP_WRITE_FAILED),
       Ended(RunCause::INTERRUPTED),
       {},
       130,
       "nothing was written, the camera keeps its old firmware",
       "retry",
       "interrupted"},
      {Failed(STEP_CONNECT),
       Ended(RunCause::NO_CAMERA, true),
       {},
       130,
       "interrupted before the update began",
       "",
       "interrupted"},
      {Failed(0), {}, {}, EXIT_CLOSED, "closed before the update", "", "closed"},
      {Failed(0), Ended(RunCause::CLOSED), {}, 8, "closed before the update", "", "closed"},
      {Failed(0), would_update, {}, 0, "would update", "", "would-update"},
      {too_many_files,
       Ended(RunCause::IMAGE_REFUSED),
       {},
       4,
       ": Too many open files",
       "locked",
       "image-refused"},
      {not_found,
       fw_is_a_directory,
       {},
       4,
       "cannot open fw: it is a directory",
       "locked",
       "image-refused"},
      {Failed(STEP_CONNECT), no_camera, denied("root"), 3, "the user who owns /dev/x or as root",
       "group", "no-camera"},
      {Failed(STEP_CONNECT), no_camera, denied("dialout"), 3, "to the group \"dialout\"", "as root",
       "no-camera"},
      {Failed(STEP_CONNECT), no_camera, heard, 3, "on /dev/x (12 bytes), but not as a camera",
       "nothing", "no-camera"},
      {Camera("OTHER", "v517-1.00", 100),
       Ended(RunCause::OTHER_MAKER),
       {},
       5,
       "the camera's maker is \"OTHER\"",
       "",
       "other-maker"},
      {Camera("PELOX CO.,LTD.", "", 100),
       Ended(RunCause::CAMERA_PROBLEM),
       {},
       5,
       "did not tell its maker and version",
       "",
       "camera-problem"},
      {Camera("PELOX CO.,LTD.", "v518-1.00", 100),
       Ended(RunCause::OTHER_FAMILY),
       {},
       5,
       "another camera family",
       "",
       "other-family"},
      {Camera("PELOX CO.,LTD.", "v517-1.10", 100),
       Ended(RunCause::UP_TO_DATE),
       {},
       6,
       "already has v517-1.10",
       "",
       "up-to-date"},
      {Camera("PELOX CO.,LTD.", "v517-1.00", 20),
       Ended(RunCause::BATTERY_LOW),
       {},
       5,
       "the battery level is 20, below the 50",
       "",
       "battery-low"},
      {refused(fixed),
       failed,
       {},
       1,
       "(camera gone; SCSI sense key 5, ASC 24h, ASCQ 00h)",
       "70",
       "write-failed"},
      {refused({0xF2, 0x06, 0x29, 0x01}),
       failed,
       {},
       1,
       "key 6, ASC 29h, ASCQ 01h)",
       "F2",
       "write-failed"},
      {refused(cut_fixed),
       failed,
       {},
       1,
       "SCSI sense 70 00 05 00 00 00 00 03 00 00 00",
       "key",
       "write-failed"},
      {refused({0x72, 0x05}),
       failed,
       {},
       1,
       "(camera gone; SCSI sense 72 05)",
       "key",
       "write-failed"},
  };
  for (const VerdictCase& entry : cases) {
    const Verdict verdict = JudgeRun(entry.facts, entry.end, entry.search);
    EXPECT_EQ(verdict.exit_status, entry.exit_status) << verdict.detail;
    EXPECT_EQ(RunCauseText(verdict.cause), entry.cause) << verdict.detail;
    EXPECT_NE(verdict.detail.find(entry.detail), std::string::npos) << verdict.detail;
    if (!entry.never.empty()) {
      EXPECT_EQ(verdict.detail.find(entry.never), std::string::npos) << verdict.detail;
    }
  }
}

TEST(LinkEventText, TellsResendsWaitsAndReconnectionsWithTheirTryCount) {
  const std::vector<std::pair<LinkEvent, std::string>> events = {
      {Resent(2, 14, false, 3600),
       "no answer from the camera for 3.6 s, frame 14 sent again, try 2 of 4"},
      {Resent(3, 0, true, 10), "the camera answered NAK, the request sent again, try 3 of 4"},
      {TryEvent(LinkEventKind::STILL_WAITING, 2, 5, 7200),
       "no answer from the camera for 7.2 s, waiting again, read 2 of 5"},
      {TryEvent(LinkEventKind::RECONNECTING, 1, 4),
       "the camera went away; connecting again, try 1 of 4"},
      {Acknowledged(10), ""},
  };
  for (const auto& [event, line] : events) {
    EXPECT_EQ(LinkEventLine(event), line);
    EXPECT_EQ(LinkEventJson(event).is_null(), line.empty()) << line;
  }
}

TEST(LinkEventText, DecodesEachFrameForTheTraceAndSurvivesACutOne) {
  const std::vector<std::pair<std::vector<uint8_t>, std::string>> frames = {
      {{0x1B, 0x43, 2, 0, 1, 18, 19, 0}, "frame out: command C, 2 bytes, get property 18"},
      {{0x1B, 0x43, 2, 0, 5, 29, 34, 0},
       "frame out: command C, 2 bytes, write data kind 29 in large blocks"},
      {{0x03, 7, 0, 8, 0xFF, 0xFF}, "frame out: data-last #7, 2048 bytes"},
      {{0x1B, 0x53, 1, 0}, "frame out: command S, 1 bytes"},
      {{0x1B, 0x43}, "frame out: cut short, 2 bytes"},
      {{0x42, 0, 0, 0, 0, 0}, "frame out: unknown type 66, 0 bytes"},
  };
  for (const auto& [packet, line] : frames) EXPECT_EQ(FrameTraceLine(true, packet), line);
}

}  // namespace
}  // namespace pelox
