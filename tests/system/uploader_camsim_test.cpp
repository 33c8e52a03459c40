// pelox-uploader against camsim over a pseudo-terminal: the real binaries,
// real termios, real time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/replay/recording.h"
#include "tests/app/firmware_files.h"
#include "tests/app/phase_rules.h"
#include "tests/system/camsim_process.h"
#include "tests/system/silent_terminal.h"
#include "tests/system/uploader_process.h"
#include "tools/firmware_sample.h"

namespace pelox {
namespace {

constexpr const char* NO_DEVICE = "/nonexistent/pelox-com";
constexpr const char* CAMERA_OPTIONS = "--flash-busy-ms 800 ";

std::string LastLine(const std::string& output) {
  const size_t end = output.find_last_not_of('\n');
  if (end == std::string::npos) return {};
  const size_t feed = output.rfind('\n', end);
  const size_t start = feed == std::string::npos ? 0 : feed + 1;
  return output.substr(start, end + 1 - start);
}

class UploaderAgainstCamsim : public ::testing::Test {
 protected:
  void WriteImage(const std::string& version, size_t payload_size = 12000) {
    test::WriteFile(scratch_.Path() / "Firmware.bin",
                    SampleFirmwareImage(version, SamplePayload(payload_size)));
  }
  static std::string OnCom1(const Camsim& camsim) {
    return "--plain --yes --com1 " + camsim.Path() + " --com2 " + NO_DEVICE;
  }

  test::ScratchDirectory scratch_;
};

TEST_F(UploaderAgainstCamsim, WritesTheFirmwareAndTheCameraConfirmsEveryByte) {
  Camsim camsim(CAMERA_OPTIONS);
  WriteImage("v517-1.10", 40000);
  const Outcome outcome = RunUploader(OnCom1(camsim));
  EXPECT_EQ(outcome.exit_status, 0) << outcome.output;
  EXPECT_EQ(LastLine(outcome.output), "Writing Firmware is complete.");
  EXPECT_NE(outcome.output.find("Progress: 100%"), std::string::npos);
  const std::string statement = camsim.Finish();
  EXPECT_NE(statement.find("firmware image of 40096 bytes arrived byte for byte"),
            std::string::npos)
      << statement;
  EXPECT_NE(statement.find("was flashed: version now v517-1.10"), std::string::npos) << statement;
}

TEST_F(UploaderAgainstCamsim, TwoUploadersShareOneImageFileAndBothCamerasAreUpdated) {
  Camsim first(CAMERA_OPTIONS);
  Camsim second(CAMERA_OPTIONS);
  WriteImage("v517-1.10", 40000);
  Outcome first_outcome;
  std::thread first_run([&] { first_outcome = RunUploader(OnCom1(first)); });
  const Outcome second_outcome = RunUploader(OnCom1(second));
  first_run.join();
  EXPECT_EQ(first_outcome.exit_status, 0) << first_outcome.output;
  EXPECT_EQ(second_outcome.exit_status, 0) << second_outcome.output;
  EXPECT_NE(first.Finish().find("was flashed: version now v517-1.10"), std::string::npos);
  EXPECT_NE(second.Finish().find("was flashed: version now v517-1.10"), std::string::npos);
}

// A user at the limit of their processes: no thread can start, and the
// run ends before the transfer with its cause, the camera sent nothing.
// Only another user than root is held to that limit.
TEST_F(UploaderAgainstCamsim, EndsBeforeTheTransferWhenNoThreadCanStart) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the uploader as another user";
  Camsim camsim(CAMERA_OPTIONS);
  WriteImage("v517-1.10", 30000);
  namespace fs = std::filesystem;
  fs::permissions(scratch_.Path(), fs::perms::others_read | fs::perms::others_exec,
                  fs::perm_options::add);
  fs::permissions(scratch_.Path() / "Firmware.bin", fs::perms::others_read, fs::perm_options::add);
  fs::permissions(camsim.Path(), fs::perms::others_read | fs::perms::others_write,
                  fs::perm_options::add);
  // The sanitizer's leak check at the end needs a thread of its own.
  const Outcome outcome =
      RunUploader(OnCom1(camsim),
                  "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" timeout -s KILL 60 setpriv "
                  "--reuid=nobody --regid=nogroup --clear-groups prlimit --nproc=1 ");
  EXPECT_EQ(outcome.exit_status, 1) << outcome.output;
  EXPECT_NE(outcome.output.find("no thread could be started for the transfer"), std::string::npos)
      << outcome.output;
  EXPECT_NE(outcome.output.find("Error in writing Firmware.\n"), std::string::npos)
      << outcome.output;
  EXPECT_NE(camsim.Finish().find("no firmware image was sent"), std::string::npos);
}

// How a run ends, for each cause: the dialog's message last on standard
// output, a detail line saying why on standard error, an exit status of
// its own, the step machine's phases in the trace, and nothing flashed.
struct Ending {
  const char* name;
  const char* camera_options;  // null: no camera at all
  const char* image_version;   // empty: no image at all
  uintmax_t image_cut;         // cut the image to this size; 0: keep it whole
  const char* message;
  const char* detail;
  int exit_status;
  RunCause cause;
  const char* arguments = "";
};

// The phases the trace tells, each as "phase NAME" and the end with its cause.
std::vector<std::string> TracedPhases(const std::string& output) {
  static const std::regex phase_line(" phase ([a-z-]+(?: [a-z-]+)?)\n");
  std::vector<std::string> phases;
  for (auto found = std::sregex_iterator(output.begin(), output.end(), phase_line);
       found != std::sregex_iterator(); ++found) {
    phases.push_back((*found)[1]);
  }
  return phases;
}

void PrintTo(const Ending& ending, std::ostream* out) { *out << ending.name; }

class UploaderEnding : public UploaderAgainstCamsim,
                       public ::testing::WithParamInterface<Ending> {};

TEST_P(UploaderEnding, SaysWhyAndExitsWithTheStatusOfItsCause) {
  const Ending& ending = GetParam();
  std::optional<Camsim> camsim;
  std::string ports = std::string(" --port ") + NO_DEVICE;
  if (ending.camera_options != nullptr) {
    camsim.emplace(std::string(CAMERA_OPTIONS) + ending.camera_options);
    ports = " --port " + camsim->Path();
  }
  if (*ending.image_version != '\0') WriteImage(ending.image_version, 30000);
  if (ending.image_cut != 0) {
    std::filesystem::resize_file(scratch_.Path() / "Firmware.bin", ending.image_cut);
  }
  const Outcome outcome = RunUploader("--plain --yes -vv " + std::string(ending.arguments) + ports);
  const bool flashed = camsim && camsim->Finish().find("was flashed") != std::string::npos;
  EXPECT_EQ(outcome.exit_status, ending.exit_status) << outcome.output;
  EXPECT_NE(outcome.output.find(std::string(ending.message) + "\n"), std::string::npos)
      << outcome.output;
  EXPECT_TRUE(std::regex_search(outcome.output,
                                std::regex(std::string("pelox-uploader: ") + ending.detail)))
      << outcome.output;
  if (camsim) {
    EXPECT_EQ(flashed, ending.exit_status == 0);
  }
  // A refused image is refused before any camera is looked for.
  std::vector<std::string> phases;
  if (ending.cause != RunCause::IMAGE_REFUSED) {
    for (const UpdatePhase phase : test::PhasesOf(ending.cause)) {
      phases.emplace_back(UpdatePhaseText(phase));
    }
    phases.back() += " " + std::string(RunCauseText(ending.cause));
  }
  EXPECT_EQ(TracedPhases(outcome.output), phases) << outcome.output;
}

INSTANTIATE_TEST_SUITE_P(
    EachCause, UploaderEnding,
    ::testing::Values(
        Ending{"NoCamera", nullptr, "v517-1.10", 0, "Camera is not connected.",
               "no camera answered on the USB storage pipe; /nonexistent/pelox-com does not "
               "exist",
               3, RunCause::NO_CAMERA},
        Ending{"NoImage", "", "", 0, "No Firmware found.",
               "cannot open Firmware.bin: No such file or directory", 4, RunCause::IMAGE_REFUSED},
        Ending{"CutImage", "", "v517-1.10", 150, "Firmware is not correct.",
               "Firmware.bin: the header says LENGTH=30000 but the payload is 54 bytes", 4,
               RunCause::IMAGE_REFUSED},
        Ending{"SameVersion", "--firmware-version v517-1.10", "v517-1.10", 0,
               "Firmware is not correct.", "the camera already has v517-1.10", 6,
               RunCause::UP_TO_DATE},
        Ending{"OtherFamily", "--firmware-version v518-1.00", "v517-1.10", 0,
               "Firmware is not correct.", "the image v517-1.10 is for another camera family", 5,
               RunCause::OTHER_FAMILY},
        Ending{"OtherMaker", "--maker OTHERCAM", "v517-1.10", 0,
               "There is a problem with your camera, please contact Pelox Service.",
               "the camera's maker is \"OTHERCAM\"", 5, RunCause::OTHER_MAKER},
        Ending{"LowBattery", "--battery 30", "v517-1.10", 0,
               "Batteries are too low to start the update.",
               "the battery level is 30, below the 50", 5, RunCause::BATTERY_LOW},
        Ending{"UnpluggedMidTransfer", "--unplug-after-bytes 8000", "v517-1.10", 0,
               "Error in writing Firmware.",
               "the transfer failed after [0-9]+ of 30096 bytes .*the camera keeps its old "
               "firmware: safe to retry",
               1, RunCause::WRITE_FAILED},
        Ending{"CameraGoneAfterTheWriteCommand", "--fault unplug@action", "v517-1.10", 0,
               "Error in writing Firmware.",
               "the write command may have reached the camera .*check its version with --list", 7,
               RunCause::WRITE_UNCERTAIN},
        Ending{"WriteCommandRefusedEveryTime", "--fault nak@action:11*4", "v517-1.10", 0,
               "Error in writing Firmware.",
               "the camera refused the write command .*: safe to retry", 1,
               RunCause::WRITE_REFUSED},
        Ending{"ReinstallAnsweredWithAnError",
               "--firmware-version v517-1.10 --fault refuse@action:11", "v517-1.10", 0,
               "Error in writing Firmware.",
               "the write command may have reached the camera .*is the one it had before", 7,
               RunCause::WRITE_UNCERTAIN, "--allow-reinstall"},
        Ending{"OlderImage", "--firmware-version v517-1.10", "v517-1.00", 0,
               "Firmware is not correct.",
               "the camera already has v517-1.10, and the image is v517-1.00, which is older "
               "\\(--allow-older writes it\\)",
               6, RunCause::UP_TO_DATE},
        Ending{"OlderImageAllowed", "--firmware-version v517-1.10", "v517-1.00", 0,
               "Writing Firmware is complete.",
               "warning: the image v517-1.00 is not newer than the camera's v517-1.10", 0,
               RunCause::WRITTEN, "--allow-older"},
        Ending{"SameImageNotAllowedByAllowOlder", "--firmware-version v517-1.10", "v517-1.10", 0,
               "Firmware is not correct.",
               "the camera already has v517-1.10, and the image is v517-1.10 "
               "\\(--allow-reinstall writes it again\\)",
               6, RunCause::UP_TO_DATE, "--allow-older"},
        Ending{"BatteryLevelZero", "--battery 0", "v517-1.10", 0, "Writing Firmware is complete.",
               "warning: the camera reports a battery level of 0: make sure the camera is "
               "charged or on mains power",
               0, RunCause::WRITTEN},
        Ending{"ImageIsADirectoryFoundBeforeAnyCamera", nullptr, "", 0, "No Firmware found.",
               "cannot open \\.: it is a directory, not a regular file", 4, RunCause::IMAGE_REFUSED,
               "."}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

// --list and --check read the camera and write nothing into it.
struct DryRun {
  const char* name;
  const char* arguments;
  const char* printed;  // a pattern of standard output
  int exit_status;
};

void PrintTo(const DryRun& run, std::ostream* out) { *out << run.name; }

class UploaderDryRun : public UploaderAgainstCamsim,
                       public ::testing::WithParamInterface<DryRun> {};

TEST_P(UploaderDryRun, PrintsTheVersionsAndWritesNothing) {
  const DryRun& run = GetParam();
  Camsim camsim(std::string(CAMERA_OPTIONS) + "--battery 77");
  WriteImage("v517-1.10");
  const Outcome outcome = RunUploader(std::string(run.arguments) + " --port " + camsim.Path());
  EXPECT_EQ(outcome.exit_status, run.exit_status) << outcome.output;
  EXPECT_TRUE(std::regex_search(outcome.output, std::regex(run.printed))) << outcome.output;
  EXPECT_NE(camsim.Finish().find("no firmware image was sent"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    ListAndCheck, UploaderDryRun,
    ::testing::Values(
        DryRun{"List", "--list", "/dev/pts/[0-9]+\tPELOX CO.,LTD.\tv517-1.00\tbattery 77\n", 0},
        DryRun{"ListAsJson", "--list --json",
               "\\{\"battery\":77,\"maker\":\"PELOX "
               "CO.,LTD.\",\"port\":\"/dev/pts/[0-9]+\",\"version\":\"v517-1.00\"\\}",
               0},
        DryRun{"ListAsJsonEndsWithItsResult", "--list --json",
               "\\}\n\\{\"result\":\\{.*\"cause\":\"listed\"", 0},
        DryRun{"UsageErrorAsJsonResult", "--json --speed 1234",
               "\\{\"result\":\\{.*\"cause\":\"usage\".*\"exit_status\":2", 2},
        DryRun{"Check", "--check", "would update v517-1.00 -> v517-1.10\n", 0},
        DryRun{"CheckIsTheDefaultWithoutInput", "--plain",
               "Click \"Upload\" button to start the update.\n(.|\n)*closed "
               "before the update",
               8},
        DryRun{"CheckSaysNoWordOfAButton", "--check", "^((?!Click)(.|\n))*would update", 0},
        DryRun{"CheckWithoutAnImageLooksForNoCamera", "--check nosuch.bin",
               "cannot open nosuch.bin: No such file or directory", 4},
        DryRun{"Inspect", "--inspect Firmware.bin",
               "size: 12096 bytes\n(.|\n)*version: v517-1.10\nfamily: v517\n(.|\n)*"
               "LENGTH agrees: yes\nSUM agrees: yes\nresult: a sound firmware image",
               0},
        DryRun{"InspectAsJson", "--inspect Firmware.bin --json",
               "\"family\":\"v517\",(.|\n)*\"length_agrees\":true", 0},
        DryRun{"InspectADirectory", "--inspect .",
               "result: refused: cannot open \\.: it is a directory", 4}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(UploaderAgainstCamsim, ReportsEveryEventAsOneJsonObjectALineAndTracesToTheLog) {
  Camsim camsim(CAMERA_OPTIONS);
  WriteImage("v517-1.10", 40000);
  const std::filesystem::path trace = scratch_.Path() / "trace.txt";
  const Outcome outcome =
      RunUploader("--json --yes --log " + trace.string() + " --port " + camsim.Path());
  EXPECT_EQ(outcome.exit_status, 0) << outcome.output;
  std::istringstream lines(outcome.output);
  std::string line;
  nlohmann::json last;
  int64_t bytes = -1;
  while (std::getline(lines, line)) {
    ASSERT_TRUE(nlohmann::json::accept(line)) << line;
    last = nlohmann::json::parse(line);
    if (last.contains("progress")) {
      EXPECT_GT(last["progress"]["bytes"].get<int64_t>(), bytes) << line;
      bytes = last["progress"]["bytes"].get<int64_t>();
      EXPECT_EQ(last["progress"]["total"], 40096);
    }
  }
  EXPECT_EQ(bytes, 40096);
  EXPECT_EQ(last["result"]["exit_status"], 0);
  EXPECT_EQ(last["result"]["cause"], "written");
  EXPECT_EQ(last["result"]["port"], camsim.Path());
  EXPECT_EQ(last["result"]["speed"], 115200);
  EXPECT_EQ(last["result"]["camera_version"], "v517-1.00");
  EXPECT_EQ(last["result"]["image_version"], "v517-1.10");
  // The support trace went to the file: its header, steps, frames decoded
  // and timed bytes on the line.
  std::ifstream file(trace);
  const std::string traced((std::istreambuf_iterator<char>(file)), {});
  EXPECT_NE(traced.find("arguments: " UPLOADER_PATH " --json"), std::string::npos) << traced;
  EXPECT_NE(traced.find("step start-transfer"), std::string::npos) << traced;
  EXPECT_NE(traced.find("frame out: command C, 2 bytes, get property"), std::string::npos);
  EXPECT_TRUE(std::regex_search(traced, std::regex("\n +[0-9]+\\.[0-9]{3} -> 1B ")));
}

// A frame the camera does not acknowledge is sent again, and the user hears
// of it: with -v as a line, in JSON as an event.
struct StallCase {
  const char* name;
  const char* camera_options;
  const char* arguments;
  const char* told;  // a pattern of the output
};

void PrintTo(const StallCase& stall, std::ostream* out) { *out << stall.name; }

class UploaderStall : public UploaderAgainstCamsim,
                      public ::testing::WithParamInterface<StallCase> {};

TEST_P(UploaderStall, SendsTheFrameAgainAndSaysSo) {
  const StallCase& stall = GetParam();
  Camsim camsim(std::string(CAMERA_OPTIONS) + stall.camera_options);
  WriteImage("v517-1.10", 40000);
  const Outcome outcome = RunUploader(std::string(stall.arguments) + " --port " + camsim.Path());
  EXPECT_EQ(outcome.exit_status, 0) << outcome.output;
  EXPECT_TRUE(std::regex_search(outcome.output, std::regex(stall.told))) << outcome.output;
  EXPECT_NE(camsim.Finish().find("was flashed"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    OneFrameUnacknowledged, UploaderStall,
    ::testing::Values(
        // camsim waits out the uploader's silence.
        StallCase{"DroppedToldByVerboseLines",
                  "--idle-exit-ms 60000 --exit-after-flash --fault drop@write-frame#3",
                  "--plain --yes -v",
                  "no answer from the camera for [0-9]+\\.[0-9] s, frame 3 sent again, try 2 of 4"},
        StallCase{"RefusedToldAsJsonEvent", "--fault nak@write-frame#3", "--json --yes",
                  "\\{\"event\":\\{\"answer\":\"nak\",\"frame\":3,\"kind\":\"resend\","
                  ".*\"try\":2\\}"},
        // The search's get and the connection's speed request, before the transfer.
        StallCase{"SearchGetRefusedToldByVerboseLines", "--fault nak@get*3", "--plain --yes -v",
                  "Communication \\(Auto\\)\\n(the camera answered NAK, the request sent again, "
                  "try [2-4] of 4\\n){3}.*connected at"},
        StallCase{"SpeedRequestRefusedToldAsJsonEvent", "--fault nak@speed", "--json --yes",
                  "\\{\"event\":\\{\"answer\":\"nak\",\"frame\":0,\"kind\":\"resend\","
                  ".*\"try\":2\\}"}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

// An output whose reader stops reading costs that output its lines, never
// the camera time: a 2 MiB update ends about as fast as without it, and
// the result says what was lost.
struct StalledOutput {
  const char* name;
  const char* option;
  const char* stall_after;  // what the reader takes before it stops; empty: nothing
};

void PrintTo(const StalledOutput& stalled, std::ostream* out) { *out << stalled.name; }

class UploaderStalledOutput : public UploaderAgainstCamsim,
                              public ::testing::WithParamInterface<StalledOutput> {
 protected:
  static constexpr size_t IMAGE_PAYLOAD = 2097056;  // a 2 MiB image

  std::chrono::milliseconds TimedUpdate(const std::string& options, Outcome& outcome) {
    Camsim camsim(CAMERA_OPTIONS);
    const auto start = std::chrono::steady_clock::now();
    // An uploader held up by its output would never end.
    outcome = RunUploader("--json --yes " + options + " --port " + camsim.Path(),
                          "timeout -s KILL 180 ");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_NE(camsim.Finish().find("was flashed"), std::string::npos) << outcome.output;
    return std::chrono::duration_cast<std::chrono::milliseconds>(took);
  }
};

TEST_P(UploaderStalledOutput, CostsTheOutputItsLinesNotTheCameraItsTime) {
  const StalledOutput& stalled = GetParam();
  WriteImage("v517-1.10", IMAGE_PAYLOAD);
  Outcome outcome;
  const std::chrono::milliseconds unhindered = TimedUpdate("", outcome);
  ASSERT_EQ(outcome.exit_status, 0) << outcome.output;
  ASSERT_EQ(mkfifo("stalled.fifo", 0600), 0);
  const int fifo = open("stalled.fifo", O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fifo, 0);
  // The reader takes the output until it shows `stall_after`, then fills
  // the pipe and reads no more.
  std::jthread reader([fifo, &stalled](const std::stop_token& stop) {
    std::string taken;
    std::array<char, 4096> chunk{};
    while (taken.find(stalled.stall_after) == std::string::npos && !stop.stop_requested()) {
      pollfd readable{fifo, POLLIN, 0};
      if (poll(&readable, 1, 100) <= 0) continue;
      const ssize_t count = read(fifo, chunk.data(), chunk.size());
      if (count > 0) taken.append(chunk.data(), static_cast<size_t>(count));
    }
    while (write(fifo, chunk.data(), chunk.size()) > 0) {
    }
  });
  const std::chrono::milliseconds hindered =
      TimedUpdate(std::string(stalled.option) + " stalled.fifo", outcome);
  reader.request_stop();
  reader.join();
  close(fifo);
  EXPECT_EQ(outcome.exit_status, 0) << outcome.output;
  const size_t result = outcome.output.find("{\"result\":");
  ASSERT_NE(result, std::string::npos) << outcome.output;
  const nlohmann::json object = nlohmann::json::parse(
      outcome.output.substr(result, outcome.output.find('\n', result) - result));
  EXPECT_NE(object["result"].value("log_lost", ""), "") << outcome.output;
  // The end waits a little for the reader to take the rest, on a shared machine.
  EXPECT_LT(hindered, unhindered * 3 / 2 + std::chrono::seconds(4)) << outcome.output;
  std::printf("%s: %lld ms, %lld ms without the output\n", stalled.name,
              static_cast<long long>(hindered.count()), static_cast<long long>(unhindered.count()));
}

INSTANTIATE_TEST_SUITE_P(ReaderStopsReading, UploaderStalledOutput,
                         ::testing::Values(StalledOutput{"LogFromTheStart", "--log", ""},
                                           StalledOutput{"LogDuringTheFlashWait", "--log",
                                                         "phase writing"},
                                           StalledOutput{"RecordingWithTheImageFromTheStart",
                                                         "--record-image --record", ""}),
                         [](const auto& case_info) { return std::string(case_info.param.name); });

// The uploader on a terminal of its own, its output read as it comes.
class TerminalSession {
 public:
  explicit TerminalSession(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), UPLOADER_PATH);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      execv(UPLOADER_PATH, argv.data());
      _exit(127);
    }
  }
  ~TerminalSession() {
    if (master_ >= 0) close(master_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // Reads the screen until `text` was drawn; false after the time-out.
  bool WaitFor(const std::string& text, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (screen_.find(text, seen_) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pollfd watched{master_, POLLIN, 0};
      if (poll(&watched, 1, 100) <= 0) continue;
      std::array<char, 4096> chunk{};
      const ssize_t count = read(master_, chunk.data(), chunk.size());
      if (count <= 0) return false;
      screen_.append(chunk.data(), static_cast<size_t>(count));
    }
    seen_ = screen_.find(text, seen_) + text.size();
    return true;
  }
  void Type(std::string_view keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  void Signal(int number) { kill(pid_, number); }
  const std::string& Screen() const { return screen_; }
  int ExitStatus() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  std::string screen_;
  size_t seen_ = 0;
};

TEST_F(UploaderAgainstCamsim, PrintsLinesWithoutEscapeCodesOnATerminalThatCannotDrawTheDialog) {
  Camsim camsim(CAMERA_OPTIONS);
  WriteImage("v517-1.10");
  setenv("TERM", "dumb", 1);
  TerminalSession terminal({"--yes", "--port", camsim.Path()});
  unsetenv("TERM");
  ASSERT_TRUE(terminal.WaitFor("Writing Firmware is complete."));
  EXPECT_EQ(terminal.ExitStatus(), 0);
  EXPECT_EQ(terminal.Screen().find('\x1b'), std::string::npos) << terminal.Screen();
  EXPECT_NE(terminal.Screen().find("Progress: 100%"), std::string::npos) << terminal.Screen();
}

// A signal before the camera writes ends the run with 130 and nothing
// flashed, soon and with the port's settings given back; while the camera
// writes, it waits for the camera's verdict.
struct SignalCase {
  const char* name;
  const char* camera_options;  // null: the port is a terminal where nobody answers
  const char* arguments;
  const char* wait_for;  // the output after which the signal comes
  int signal;
  int exit_status;
  const char* statement;    // what camsim says of the image
  bool log_unread = false;  // --log names a full FIFO whose reader reads nothing
};

void PrintTo(const SignalCase& signal_case, std::ostream* out) { *out << signal_case.name; }

class UploaderSignal : public UploaderAgainstCamsim,
                       public ::testing::WithParamInterface<SignalCase> {};

// A stop well inside a wait, which a loaded machine may stretch.
constexpr auto INSIDE_THE_WAIT = std::chrono::milliseconds(400);
constexpr auto SIGNAL_BOUND = std::chrono::seconds(2);

// The settings of the terminal at `path` that a port's user may change.
std::optional<termios> PortSettings(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  termios settings{};
  const bool read = tcgetattr(fd, &settings) == 0;
  close(fd);
  if (!read) return std::nullopt;
  return settings;
}

bool SameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b);
}

TEST_P(UploaderSignal, EndsAsTheCameraAllows) {
  const SignalCase& signal_case = GetParam();
  // camsim ends after 1.5 s without a frame, so the write takes less.
  std::optional<Camsim> camsim;
  std::optional<SilentTerminal> silent;
  std::string port;
  if (signal_case.camera_options != nullptr) {
    camsim.emplace(std::string("--flash-busy-ms 1000 ") + signal_case.camera_options);
    port = camsim->Path();
  } else {
    port = silent.emplace(false).path;
  }
  const std::optional<termios> before = PortSettings(port);
  ASSERT_TRUE(before.has_value()) << port;
  WriteImage("v517-1.10", 100000);
  std::vector<std::string> arguments = {"--plain", "--yes",    "--port",
                                        port,      "--record", "signalled.jsonl"};
  // Held open by the test until the run ended, filled and never read.
  int unread_fifo = -1;
  if (signal_case.log_unread) {
    ASSERT_EQ(mkfifo("unread.fifo", 0600), 0);
    unread_fifo = open("unread.fifo", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(unread_fifo, 0);
    const std::array<char, 4096> filler{};
    while (write(unread_fifo, filler.data(), filler.size()) > 0) {
    }
    arguments.insert(arguments.end(), {"--log", "unread.fifo"});
  }
  std::istringstream extra(signal_case.arguments);
  for (std::string word; extra >> word;) arguments.push_back(word);
  TerminalSession terminal(arguments);
  ASSERT_TRUE(terminal.WaitFor(signal_case.wait_for));
  if (signal_case.exit_status == 130) std::this_thread::sleep_for(INSIDE_THE_WAIT);
  const auto signalled = std::chrono::steady_clock::now();
  terminal.Signal(signal_case.signal);
  EXPECT_EQ(terminal.ExitStatus(), signal_case.exit_status) << terminal.Screen();
  if (unread_fifo >= 0) close(unread_fifo);
  const auto took = std::chrono::steady_clock::now() - signalled;
  if (signal_case.exit_status == 130) {
    EXPECT_LT(took, SIGNAL_BOUND) << terminal.Screen();
    std::printf("%s: ended %lld ms after the signal\n", signal_case.name,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  }
  const std::optional<termios> after = PortSettings(port);
  ASSERT_TRUE(after.has_value());
  EXPECT_TRUE(SameSettings(*before, *after));
  if (camsim) {
    EXPECT_NE(camsim->Finish().find(signal_case.statement), std::string::npos);
  }
  // The recording reads back whole and ends as the run did.
  std::string error;
  const std::optional<sim::Recording> recording = sim::ReadRecording("signalled.jsonl", error);
  ASSERT_TRUE(recording.has_value()) << error;
  ASSERT_FALSE(recording->events.empty());
  EXPECT_EQ(recording->events.back().kind, sim::EventKind::END);
  EXPECT_EQ(recording->events.back().exit_status, signal_case.exit_status);
}

INSTANTIATE_TEST_SUITE_P(
    DuringTheUpdate, UploaderSignal,
    ::testing::Values(
        SignalCase{"MidTransfer", "", "", "Progress: 10%", SIGTERM, 130, "was not flashed"},
        SignalCase{"QuitMidTransfer", "", "", "Progress: 10%", SIGQUIT, 130, "was not flashed"},
        SignalCase{"DuringTheWrite", "", "", "Writing Firmware...", SIGTERM, 0, "was flashed"},
        SignalCase{"SearchOnASilentPort", nullptr, "", "Communication (Auto)", SIGINT, 130, ""},
        SignalCase{"HandshakeWithACameraThatIgnoresTheProbe", "--fault drop@probe*1000", "",
                   "Communication (Auto)", SIGHUP, 130, "no firmware image was sent"},
        SignalCase{"List", nullptr, "--list -vv", "-> ", SIGINT, 130, ""},
        SignalCase{"LogWhoseReaderReadsNothing", "", "", "", SIGINT, 130,
                   "no firmware image was sent", true}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

// --speed: the camera is asked for the speed after the handshake, and one
// that refuses it is still updated at the usual speed.
struct SpeedCase {
  const char* name;
  const char* camera_options;
  const char* taken;      // camsim's log entry for the speed the write ran at
  const char* not_taken;  // one that must not be there
  bool refusal_said;      // the uploader says that it fell back
};

void PrintTo(const SpeedCase& speed_case, std::ostream* out) { *out << speed_case.name; }

class UploaderSpeed : public UploaderAgainstCamsim,
                      public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(UploaderSpeed, WritesAtTheSpeedTheCameraTook) {
  const SpeedCase& speed_case = GetParam();
  const std::filesystem::path log = scratch_.Path() / "camsim.log";
  Camsim camsim(std::string(CAMERA_OPTIONS) + "--log " + log.string() + " " +
                speed_case.camera_options);
  WriteImage("v517-1.10");
  const Outcome outcome = RunUploader("--plain --yes --speed 230400 --port " + camsim.Path());
  EXPECT_EQ(outcome.exit_status, 0) << outcome.output;
  EXPECT_NE(camsim.Finish().find("was flashed"), std::string::npos);
  std::ifstream file(log);
  const std::string entries((std::istreambuf_iterator<char>(file)), {});
  EXPECT_NE(entries.find(speed_case.taken), std::string::npos) << entries;
  EXPECT_EQ(entries.find(speed_case.not_taken), std::string::npos) << entries;
  const bool refusal_said = outcome.output.find("refused the speed") != std::string::npos;
  EXPECT_EQ(refusal_said, speed_case.refusal_said) << outcome.output;
}

INSTANTIATE_TEST_SUITE_P(
    AskedFor, UploaderSpeed,
    ::testing::Values(SpeedCase{"Taken", "", "accepted (speed 230400)", "(speed 115200)", false},
                      // The link asks four times before it gives up on a speed.
                      SpeedCase{"Refused", "--fault refuse@speed*4", "accepted (speed 115200)",
                                "(speed 230400)", true}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

// A device that talks without pause on its line, as a GPS receiver does:
// one character of its sentence every 2 ms.
class BabblingPort {
 public:
  BabblingPort() {
    termios raw{};
    cfmakeraw(&raw);
    std::array<char, 128> name{};
    if (openpty(&master_, &slave_, name.data(), &raw, nullptr) != 0) return;
    path_ = name.data();
    fcntl(master_, F_SETFL, O_NONBLOCK);
    talker_ = std::jthread([this](const std::stop_token& stop) {
      constexpr std::string_view SENTENCE =
          "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
      for (size_t i = 0; !stop.stop_requested(); i = (i + 1) % SENTENCE.size()) {
        if (write(master_, &SENTENCE[i], 1) < 0 && errno != EAGAIN) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  ~BabblingPort() {
    talker_ = {};
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
  }
  BabblingPort(const BabblingPort&) = delete;
  BabblingPort& operator=(const BabblingPort&) = delete;

  const std::string& Path() const { return path_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
  std::jthread talker_;
};

// camsim that waits for a host that comes late or comes twice.
constexpr const char* PATIENT_CAMERA_OPTIONS =
    "--flash-busy-ms 800 --idle-exit-ms 60000 --exit-after-flash ";

TEST_F(UploaderAgainstCamsim, PassesABabblingPortAndUpdatesTheCameraOnTheNext) {
  BabblingPort babbler;
  ASSERT_FALSE(babbler.Path().empty());
  Camsim camsim(PATIENT_CAMERA_OPTIONS);
  WriteImage("v517-1.10");
  const auto start = std::chrono::steady_clock::now();
  const Outcome outcome =
      RunUploader("--plain --yes --com1 " + babbler.Path() + " --com2 " + camsim.Path());
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(outcome.exit_status, 0) << outcome.output;
  EXPECT_EQ(LastLine(outcome.output), "Writing Firmware is complete.");
  // The babbling port costs at most what a silent one costs: four handshake
  // rounds and one probe at each other speed, each drain cut at 1.5 s.
  EXPECT_LT(took, std::chrono::seconds(36));
  std::printf(
      "search past the babbling port and update: %lld ms\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  EXPECT_NE(camsim.Finish().find("was flashed"), std::string::npos);
}

TEST_F(UploaderAgainstCamsim, FindsAndUpdatesACameraLeftAtTheTransferSpeedByAKilledRun) {
  Camsim camsim(PATIENT_CAMERA_OPTIONS);
  WriteImage("v517-1.10", 60000);
  {
    // Killed mid-transfer, as by a closed terminal or a power cut.
    TerminalSession first({"--plain", "--yes", "--com1", camsim.Path(), "--com2", NO_DEVICE});
    ASSERT_TRUE(first.WaitFor("Progress: "));
    first.Signal(SIGKILL);
    first.ExitStatus();
  }
  const Outcome outcome = RunUploader(OnCom1(camsim));
  EXPECT_EQ(outcome.exit_status, 0) << outcome.output;
  EXPECT_EQ(LastLine(outcome.output), "Writing Firmware is complete.");
  const std::string statement = camsim.Finish();
  EXPECT_NE(statement.find("was flashed: version now v517-1.10"), std::string::npos) << statement;
}

}  // namespace
}  // namespace pelox
