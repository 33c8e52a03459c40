// pelox-uploader against camsim over a pseudo-terminal: the real binaries,
// real termios, real time.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "tests/app/firmware_files.h"
#include "tests/system/camsim_process.h"
#include "tools/firmware_sample.h"

namespace pelox {
namespace {

constexpr const char* NO_DEVICE = "/nonexistent/pelox-com";
constexpr const char* CAMERA_OPTIONS = "--flash-busy-ms 800 ";

struct Outcome {
  int exit_status = -1;
  std::string output;
};

// Runs the uploader in the current directory with plain output.
Outcome RunUploader(const std::string& arguments) {
  const std::string command = std::string(UPLOADER_PATH) + " " + arguments + " 2>&1 </dev/null";
  Outcome outcome;
  FILE* output = popen(command.c_str(), "r");
  if (output == nullptr) return outcome;
  std::array<char, 256> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), output) != nullptr) outcome.output += chunk.data();
  const int status = pclose(output);
  outcome.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

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

struct Refusal {
  const char* name;
  const char* camera_options;
  const char* image_version;  // empty: no image at all
  const char* message;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class UploaderRefusal : public UploaderAgainstCamsim,
                        public ::testing::WithParamInterface<Refusal> {};

TEST_P(UploaderRefusal, EndsWithItsMessageAndExitStatusOne) {
  const Refusal& refusal = GetParam();
  Camsim camsim(std::string(CAMERA_OPTIONS) + refusal.camera_options);
  if (*refusal.image_version != '\0') WriteImage(refusal.image_version);
  const Outcome outcome = RunUploader(OnCom1(camsim));
  EXPECT_EQ(outcome.exit_status, 1) << outcome.output;
  EXPECT_EQ(LastLine(outcome.output), refusal.message) << outcome.output;
  EXPECT_EQ(outcome.output.find("Uploading..."), std::string::npos);
  EXPECT_EQ(camsim.Finish().find("flashed"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    EachRefusal, UploaderRefusal,
    ::testing::Values(Refusal{"SameVersion", "--firmware-version v517-1.10", "v517-1.10",
                              "Firmware is not correct."},
                      Refusal{"OtherFamily", "--firmware-version v518-1.00", "v517-1.10",
                              "Firmware is not correct."},
                      Refusal{"OtherMaker", "--maker OTHERCAM", "v517-1.10",
                              "There is a problem with your camera, please contact Pelox Service."},
                      Refusal{"LowBattery", "--battery 30", "v517-1.10",
                              "Batteries are too low to start the update."},
                      Refusal{"NoImage", "", "", "No Firmware found."}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(UploaderAgainstCamsim, SaysSoWhenNoCameraIsConnected) {
  WriteImage("v517-1.10");
  const Outcome outcome =
      RunUploader(std::string("--plain --yes --com1 ") + NO_DEVICE + " --com2 " + NO_DEVICE);
  EXPECT_EQ(outcome.exit_status, 1);
  EXPECT_EQ(outcome.output, "Communication (Auto)\nCamera is not connected.\n");
}

TEST_F(UploaderAgainstCamsim, ReportsAWriteErrorWhenTheCameraIsUnpluggedMidTransfer) {
  Camsim camsim(std::string(CAMERA_OPTIONS) + "--unplug-after-bytes 8000");
  WriteImage("v517-1.10", 30000);
  const Outcome outcome = RunUploader(OnCom1(camsim));
  EXPECT_EQ(outcome.exit_status, 1) << outcome.output;
  EXPECT_EQ(LastLine(outcome.output), "Error in writing Firmware.");
  EXPECT_NE(camsim.Finish().find("was not flashed"), std::string::npos);
}

TEST_F(UploaderAgainstCamsim, RefusesBadUsageWithExitStatusTwo) {
  EXPECT_EQ(RunUploader("--no-such-option").exit_status, 2);
  EXPECT_EQ(RunUploader("--com1").exit_status, 2);
  const Outcome help = RunUploader("--help");
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_NE(help.output.find("--com1 PATH"), std::string::npos);
}

// The drawn dialog on a terminal of its own, driven by keys.
class TerminalSession {
 public:
  explicit TerminalSession(const std::string& com1) {
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      execl(UPLOADER_PATH, UPLOADER_PATH, "--com1", com1.c_str(), "--com2", NO_DEVICE, nullptr);
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

TEST_F(UploaderAgainstCamsim, DrawsTheDialogAndAnswersItsKeys) {
  Camsim camsim(CAMERA_OPTIONS);
  WriteImage("v517-1.10");
  TerminalSession terminal(camsim.Path());
  ASSERT_TRUE(terminal.WaitFor("Pelox Firmware Uploader"));
  ASSERT_TRUE(terminal.WaitFor("Click \"Upload\" button to start the update."));
  // Close has the focus; Esc would close. Tab moves to Upload, Enter presses it.
  terminal.Type("\t");
  ASSERT_TRUE(terminal.WaitFor(">[ Upload ]<"));
  terminal.Type("\r");
  ASSERT_TRUE(terminal.WaitFor("Uploading..."));
  ASSERT_TRUE(terminal.WaitFor("Writing Firmware is complete."));
  ASSERT_TRUE(terminal.WaitFor(">[ Close ]<"));
  terminal.Type("\x1b");
  EXPECT_EQ(terminal.ExitStatus(), 0);
  EXPECT_NE(camsim.Finish().find("was flashed"), std::string::npos);
}

}  // namespace
}  // namespace pelox
