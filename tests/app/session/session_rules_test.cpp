// What every Linux front end shares: the options, the devices probed, the
// verdict of a run and its advice, and the signals its workers block.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/dialog_ids.h"
#include "app/resources/strings.h"
#include "app/session/device_choice.h"
#include "app/session/options.h"
#include "app/session/run_signals.h"
#include "app/session/run_verdict.h"
#include "app/session/search_notes.h"
#include "link/camera_link.h"
#include "platform/pseudo_terminal.h"
#include "platform/serial.h"
#include "platform/serial_map.h"
#include "tests/temp_path.h"

namespace pelox {
namespace {

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
      {{"--verbose=99999999999999999999"}, 2, "", {}, "out of range"},
      {{"--list", "--check"}, 2, "", {}, "--list"},
      {{"--inspect", "fw.bin", "--check"}, 2, "", {}, "--inspect"},
      {{"a.bin", "b.bin"}, 2, "", {}, "b.bin"},
      {{"--record-image"}, 2, "", {}, "--record FILE"},
  };
  // The window: its own options only, Qt's passed over.
  const std::vector<CommandLineCase> window_cases = {
      {{"-platform", "offscreen", "fw.bin", "--style=fusion", "-reverse", "--port", "/a"},
       -1,
       "fw.bin",
       {"/a"},
       ""},
      {{"--", "-platform"}, -1, "-platform", {}, ""},
      {{"--help"}, 0, "", {}, "pelox-uploader-gui"},
      {{"--help"}, 0, "", {}, "130  interrupted"},
      {{"-V"}, 0, "", {}, "pelox-uploader-gui " PELOX_VERSION},
      {{"--list"}, 2, "", {}, "--list"},
      {{"-platform", "offscreen", "--log", "x"}, 2, "", {}, "--log"},
  };
  for (const auto& [table, program] :
       {std::pair{&cases, Program::TERMINAL}, std::pair{&window_cases, Program::WINDOW}}) {
    for (const CommandLineCase& entry : *table) {
      std::vector<std::string> arguments = {"pelox-uploader"};
      arguments.insert(arguments.end(), entry.arguments.begin(), entry.arguments.end());
      const CommandLine parsed = ParseCommandLine(arguments, program);
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
  const std::string help =
      ParseCommandLine(std::vector<std::string>{"gui", "--help"}, Program::WINDOW).text;
  for (const char* other : {"--list", "--check", "--json", "--log", "--yes", "--plain"})
    EXPECT_EQ(help.find(other), std::string::npos) << other;
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

// A port held by another program, named by another path: the notes name
// the program that holds it (here this test).
TEST(SearchNotes, NameTheProgramThatHoldsAPort) {
  PseudoTerminal terminal;
  std::string problem;
  ASSERT_TRUE(terminal.Open(problem)) << problem;
  const std::filesystem::path link = test::UniqueTempPath("held-port");
  std::filesystem::create_symlink(terminal.SlavePath(), link);
  const int holder = open(terminal.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  UploaderOptions options;
  options.ports = {link.string()};
  ChooseDevices(options);
  EXPECT_EQ(SerialOpen(PORT_TYPE_COM_FIRST), nullptr);
  const SearchNotes notes = SearchNotesOf(options);
  ASSERT_EQ(notes.ports.size(), 1U);
  EXPECT_EQ(notes.ports[0].open_error, EWOULDBLOCK);
  EXPECT_NE(notes.ports[0].holder.find("(process " + std::to_string(getpid()) + ")"),
            std::string::npos)
      << notes.ports[0].holder;
  close(holder);
  std::filesystem::remove(link);
  SerialResetDeviceMap();
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
    return SearchNotes{{{"/dev/x", EACCES, group, 0, {}}}, {}, 0, {}};
  };
  const SearchNotes heard{{{"/dev/x", 0, "dialout", 12, {}}}, {}, 0, {}};
  const auto held = [](int error, const char* holder) {
    return SearchNotes{{{"/dev/x", error, "dialout", 0, holder}}, {}, 0, {}};
  };
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
      {Failed(STEP_CONNECT), no_camera, denied("dialout"), 3,
       "permission denied on /dev/x: add your user to the group \"dialout\" that owns it (sudo "
       "usermod -aG dialout $USER)",
       "held", "no-camera"},
      {Failed(STEP_CONNECT), no_camera, held(EWOULDBLOCK, "minicom (process 42)"), 3,
       "/dev/x is held by another program, minicom (process 42): close it", "permission",
       "no-camera"},
      {Failed(STEP_CONNECT), no_camera, held(EBUSY, ""), 3,
       "/dev/x is held by another program: close it", "nothing answered", "no-camera"},
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

// The remedies come as values: the command line tells them as its options,
// and the reason alone never names an option, so the window can offer them
// as buttons instead.
TEST(RunVerdict, GivesRemediesThatTheCommandLineTellsAsOptions) {
  struct AdviceCase {
    DialogFacts facts;
    RunEnd end;
    SearchNotes search;
    std::vector<Remedy> advice;
    std::string options;  // what the command line adds to the reason
  };
  SearchNotes port_named;
  port_named.ports = {{"/dev/ttyUSB0", 0, "", 0, {}}};
  const std::vector<AdviceCase> cases = {
      {Camera("PELOX", "v517-1.10", 80),
       Ended(RunCause::UP_TO_DATE),
       {},
       {Remedy::INSTALL_ANYWAY},
       " (--allow-reinstall writes it again)"},
      {Camera("PELOX", "v517-2.00", 80),
       Ended(RunCause::UP_TO_DATE),
       {},
       {Remedy::INSTALL_OLDER},
       " (--allow-older writes it)"},
      {Failed(STEP_WRITE_FAILED),
       Ended(RunCause::WRITE_UNCERTAIN),
       {},
       {Remedy::CHECK_VERSION},
       ", then check its version with --list"},
      {Failed(STEP_CONNECT),
       Ended(RunCause::NO_CAMERA),
       {},
       {Remedy::NAME_PORT, Remedy::CHECK_AGAIN},
       " (--port PATH)"},
      {Failed(STEP_CONNECT), Ended(RunCause::NO_CAMERA), port_named, {Remedy::CHECK_AGAIN}, ""},
      {Failed(STEP_OPEN_FIRMWARE, STEP_ERROR_CANTOPEN),
       Ended(RunCause::IMAGE_REFUSED),
       {},
       {Remedy::CHOOSE_IMAGE},
       ""},
      {Failed(STEP_CHECK_FIRMWARE), Ended(RunCause::OTHER_FAMILY), {}, {Remedy::CHOOSE_IMAGE}, ""},
      {Failed(STEP_WRITE_FAILED), Ended(RunCause::WRITE_FAILED), {}, {Remedy::CHECK_AGAIN}, ""},
      {Failed(STEP_WRITE_FAILED), Ended(RunCause::WRITE_REFUSED), {}, {Remedy::CHECK_AGAIN}, ""},
      {{}, Ended(RunCause::WRITTEN), {}, {}, ""},
  };
  for (const AdviceCase& entry : cases) {
    const Verdict verdict = JudgeRun(entry.facts, entry.end, entry.search);
    EXPECT_EQ(verdict.advice, entry.advice) << verdict.detail;
    EXPECT_EQ(verdict.detail.find("--"), std::string::npos) << verdict.detail;
    EXPECT_EQ(DetailWithOptions(verdict), verdict.detail + entry.options);
  }
}

// The session starts every worker inside this guard: a thread started then,
// the window's as the terminal's, never takes the run's signals, and the
// loop's thread takes them again afterwards.
TEST(RunSignals, AreBlockedInAThreadStartedWhileGuardedAndNowhereElse) {
  const auto blocked_here = [] {
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    return std::all_of(RUN_SIGNALS.begin(), RUN_SIGNALS.end(),
                       [&](int number) { return sigismember(&mask, number) == 1; });
  };
  bool blocked_in_worker = false;
  {
    const RunSignalsBlocked guard;
    std::thread worker([&] { blocked_in_worker = blocked_here(); });
    worker.join();
  }
  EXPECT_TRUE(blocked_in_worker);
  EXPECT_FALSE(blocked_here());
}

}  // namespace
}  // namespace pelox
