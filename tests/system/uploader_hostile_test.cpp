// Hostile firmware files and serial ports through pelox-uploader: each ends
// with its message and exit status, within its bound, and nothing reaches a
// camera or a device that should not get it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/session/options.h"
#include "tests/app/firmware_files.h"
#include "tests/system/camsim_process.h"
#include "tests/system/silent_terminal.h"
#include "tools/firmware_sample.h"

namespace pelox {
namespace {

namespace fs = std::filesystem;

constexpr const char* IMAGE_VERSION = "v517-1.10";
constexpr size_t PAYLOAD_SIZE = 20000;
constexpr size_t HEADER_SIZE = 96;
constexpr size_t LARGEST_IMAGE = 2 * 1024 * 1024;
// The camera's flash ends before camsim leaves a quiet line.
constexpr const char* CAMERA = "--flash-busy-ms 800";
// A run that has not ended by then is stopped and counts as a hang; a case's
// own bound is far below it.
constexpr int HANG_LIMIT_S = 120;
// Refusing an image or a port takes no waiting for a camera.
constexpr double IMAGE_BOUND_S = 10;
// A silent serial port costs the handshake's tries and time-outs.
constexpr double SILENT_PORT_BOUND_S = 30;
// A small update at the line rate, with one late acknowledgement.
constexpr double UPDATE_BOUND_S = 30;

struct Outcome {
  int exit_status = -1;
  std::string output;
  double seconds = 0;
};

// Runs the uploader in the current directory; `on_line` sees each line of
// its output as it comes.
// `shell_before` runs in the shell first, as a limit to set.
Outcome RunUploader(const std::string& arguments,
                    const std::function<void(const std::string&)>& on_line = {},
                    const std::string& shell_before = {}) {
  const std::string command = shell_before + "timeout -s KILL " + std::to_string(HANG_LIMIT_S) +
                              " " + UPLOADER_PATH + " --plain --yes " + arguments +
                              " 2>&1 </dev/null";
  Outcome outcome;
  const auto started = std::chrono::steady_clock::now();
  FILE* output = popen(command.c_str(), "r");
  if (output == nullptr) return outcome;
  std::array<char, 256> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), output) != nullptr) {
    outcome.output += chunk.data();
    if (on_line) on_line(chunk.data());
  }
  const int status = pclose(output);
  outcome.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  outcome.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

std::vector<uint8_t> Header(const std::string& text) {
  std::vector<uint8_t> header(HEADER_SIZE, 0);
  std::copy(text.begin(), text.end(), header.begin());
  return header;
}

// The sample image with its header text replaced.
std::vector<uint8_t> WithHeader(const std::string& text) {
  std::vector<uint8_t> image = SampleFirmwareImage(IMAGE_VERSION, SamplePayload(PAYLOAD_SIZE));
  const std::vector<uint8_t> header = Header(text);
  std::copy(header.begin(), header.end(), image.begin());
  return image;
}

std::string SumText(const std::vector<uint8_t>& payload) {
  uint32_t sum = 0;
  for (const uint8_t byte : payload) sum += byte;
  return std::to_string(sum);
}

// What a case prepares: files in the scratch directory, a terminal held
// open for the run.
struct Scene {
  fs::path scratch;
  std::optional<SilentTerminal> terminal;
};
using Prepare = std::function<std::optional<std::string>(Scene& scene)>;

struct Hostile {
  const char* name = "";
  Prepare prepare;                       // returns the --port PATH to name, if any
  const char* camera_options = nullptr;  // a camera answers on its own --port; null: none
  const char* message = "";
  int exit_status = 0;
  double bound_s = 0;
  const char* flashed = nullptr;  // the version the camera may flash; null: nothing sent
  // Acts on each line of the uploader's output as it comes.
  std::function<void(const std::string& line, const fs::path& scratch)> meanwhile;
  bool unprivileged = false;  // root reads any file: the case means nothing to it
  std::string arguments;      // more for the uploader
  const char* shell_before = "";
  const char* port_output = nullptr;  // "--log": that output names the camera's port
  bool port_by_symlink = false;       // and does so through a symlink
  const char* said_once = nullptr;    // a text the output holds exactly once
};

void PrintTo(const Hostile& hostile, std::ostream* out) { *out << hostile.name; }

// A regular file's bytes; none for anything else.
std::optional<std::string> FileBytes(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class UploaderHostile : public ::testing::TestWithParam<Hostile> {
 protected:
  test::ScratchDirectory scratch_;
};

TEST_P(UploaderHostile, EndsWithItsMessageAndStatusInTimeAndSendsNothing) {
  const Hostile& hostile = GetParam();
  if (hostile.unprivileged && geteuid() == 0) GTEST_SKIP() << "root reads any file";
  std::optional<Camsim> camsim;
  std::string ports;
  if (hostile.camera_options != nullptr) {
    camsim.emplace(hostile.camera_options);
    ports += " --port " + camsim->Path();
  }
  Scene scene{scratch_.Path(), std::nullopt};
  const std::optional<std::string> port = hostile.prepare(scene);
  if (port) ports += " --port " + *port;
  if (hostile.port_output != nullptr) {
    std::string camera_port = camsim ? camsim->Path() : port.value_or("");
    if (hostile.port_by_symlink) {
      fs::create_symlink(camera_port, scratch_.Path() / "camera-port");
      camera_port = "camera-port";
    }
    ports += std::string(" ") + hostile.port_output + " " + camera_port;
  }
  const std::optional<std::string> image_before = FileBytes(scratch_.Path() / "Firmware.bin");
  const Outcome outcome = RunUploader(
      ports + " " + hostile.arguments,
      [&](const std::string& line) {
        if (hostile.meanwhile) hostile.meanwhile(line, scratch_.Path());
      },
      hostile.shell_before);
  if (hostile.said_once != nullptr) {
    const size_t said = outcome.output.find(hostile.said_once);
    EXPECT_NE(said, std::string::npos) << outcome.output;
    EXPECT_EQ(outcome.output.find(hostile.said_once, said + 1), std::string::npos)
        << outcome.output;
  }
  EXPECT_EQ(outcome.exit_status, hostile.exit_status) << outcome.output;
  EXPECT_NE(outcome.output.find(std::string(hostile.message) + "\n"), std::string::npos)
      << outcome.output;
  EXPECT_LT(outcome.seconds, hostile.bound_s) << outcome.output;
  // A port that is no serial device, or that another process holds, gets nothing.
  if (port && fs::is_regular_file(*port)) {
    EXPECT_EQ(fs::file_size(*port), 0u);
  }
  // An output refused leaves the image as it was.
  if (hostile.exit_status == EXIT_USAGE) {
    EXPECT_EQ(FileBytes(scratch_.Path() / "Firmware.bin"), image_before);
  }
  if (scene.terminal && scene.terminal->locked) {
    EXPECT_FALSE(scene.terminal->Heard());
  }
  if (camsim) {
    const std::string statement = camsim->Finish();
    const std::string expected = hostile.flashed == nullptr
                                     ? "no firmware image was sent"
                                     : std::string("was flashed: version now ") + hostile.flashed;
    EXPECT_NE(statement.find(expected), std::string::npos) << statement;
  }
}

std::vector<uint8_t> Sample() {
  return SampleFirmwareImage(IMAGE_VERSION, SamplePayload(PAYLOAD_SIZE));
}

Prepare Image(std::vector<uint8_t> bytes) {
  return [bytes](Scene& scene) -> std::optional<std::string> {
    test::WriteFile(scene.scratch / "Firmware.bin", bytes);
    return std::nullopt;
  };
}

// A good image and a port made by `make_port`.
Prepare Port(std::function<std::string(Scene&)> make_port) {
  return [make_port](Scene& scene) -> std::optional<std::string> {
    test::WriteFile(scene.scratch / "Firmware.bin", Sample());
    return make_port(scene);
  };
}

// Makes the image file as `make` says.
Prepare ImageFile(std::function<void(const fs::path&)> make) {
  return [make](Scene& scene) -> std::optional<std::string> {
    make(scene.scratch / "Firmware.bin");
    return std::nullopt;
  };
}

// An image the uploader refuses, with a camera that must receive nothing.
Hostile Case(const char* name, Prepare prepare, const char* camera_options, const char* message,
             int exit_status, double bound_s) {
  Hostile hostile;
  hostile.name = name;
  hostile.prepare = std::move(prepare);
  hostile.camera_options = camera_options;
  hostile.message = message;
  hostile.exit_status = exit_status;
  hostile.bound_s = bound_s;
  return hostile;
}

Hostile RefusedImage(const char* name, Prepare prepare, const char* message) {
  return Case(name, std::move(prepare), CAMERA, message, EXIT_IMAGE_REFUSED, IMAGE_BOUND_S);
}
Hostile MissingImage(const char* name, Prepare prepare) {
  return RefusedImage(name, std::move(prepare), "No Firmware found.");
}
Hostile IncorrectImage(const char* name, std::vector<uint8_t> bytes) {
  return RefusedImage(name, Image(std::move(bytes)), "Firmware is not correct.");
}
// A port that is no camera, and no camera anywhere else.
Hostile NoCameraPort(const char* name, std::function<std::string(Scene&)> make_port,
                     double bound_s = IMAGE_BOUND_S) {
  return Case(name, Port(std::move(make_port)), nullptr, "Camera is not connected.", EXIT_NO_CAMERA,
              bound_s);
}

// Another image, as long and as valid, with another version and other
// bytes, takes the file's place (by name, or over its bytes) once the checks
// passed; the upload key's acknowledgement comes late, so that this happens
// before the first frame leaves. The camera gets the checked bytes.
Hostile ReplacedImage(const char* name, bool in_place) {
  Hostile hostile = Case(name, Image(Sample()), "--flash-busy-ms 800 --fault delay=1000@set:32",
                         "Writing Firmware is complete.", EXIT_WRITTEN, UPDATE_BOUND_S);
  hostile.flashed = IMAGE_VERSION;
  hostile.meanwhile = [in_place](const std::string& line, const fs::path& scratch) {
    if (line.find("Uploading...") == std::string::npos) return;
    std::vector<uint8_t> payload = SamplePayload(PAYLOAD_SIZE);
    std::rotate(payload.begin(), payload.begin() + 1, payload.end());
    const std::vector<uint8_t> other = SampleFirmwareImage("v517-1.20", payload);
    if (in_place) {
      std::fstream(scratch / "Firmware.bin", std::ios::in | std::ios::out | std::ios::binary)
          .write(reinterpret_cast<const char*>(other.data()),
                 static_cast<std::streamsize>(other.size()));
      return;
    }
    test::WriteFile(scratch / "Firmware.new", other);
    fs::rename(scratch / "Firmware.new", scratch / "Firmware.bin");
  };
  return hostile;
}

// A log that cannot be written stops with one warning; the update goes on.
Hostile LostLog(const char* name, std::string arguments, const char* shell_before,
                const char* said_once) {
  Hostile hostile = Case(name, Image(Sample()), CAMERA, "Writing Firmware is complete.",
                         EXIT_WRITTEN, UPDATE_BOUND_S);
  hostile.flashed = IMAGE_VERSION;
  hostile.arguments = std::move(arguments);
  hostile.shell_before = shell_before;
  hostile.said_once = said_once;
  return hostile;
}

// An output that is an input of the run or the other output, by any name,
// is refused before a byte is written.
Hostile SameFile(const char* name, std::string arguments, const char* shell_before,
                 const char* message) {
  Hostile hostile = Case(name, Image(Sample()), CAMERA, message, EXIT_USAGE, IMAGE_BOUND_S);
  hostile.arguments = std::move(arguments);
  hostile.shell_before = shell_before;
  return hostile;
}

// An output that would write into the camera's line is refused.
Hostile OutputOnTheCameraPort(const char* name, const char* option, bool by_symlink,
                              const char* message) {
  Hostile hostile = SameFile(name, {}, "", message);
  hostile.port_output = option;
  hostile.port_by_symlink = by_symlink;
  return hostile;
}

// A FIFO that nobody reads is refused at once.
Hostile FifoNobodyReads() {
  Hostile hostile =
      SameFile("RecordOnAFifoNobodyReads", "--record nobody.fifo", "mkfifo nobody.fifo; ",
               "--record nobody.fifo is a FIFO that nobody reads; start its reader first");
  hostile.bound_s = 1;
  return hostile;
}

// A header that agrees with an empty payload would flash nothing.
Hostile HeaderOnlyImage() {
  return IncorrectImage("ImageOf96BytesHeaderOnly", Header("LENGTH=0 VER=v517-1.10 SUM=0\r\n"));
}

// Refused at the check, before it is read, however right its header.
Hostile TooLargeImage() {
  return IncorrectImage(
      "ImageLargerThanTwoMebibytes",
      SampleFirmwareImage(IMAGE_VERSION, SamplePayload(LARGEST_IMAGE - HEADER_SIZE + 1)));
}

Hostile UnreadableImage() {
  Hostile hostile = MissingImage("ImageUnreadable", ImageFile([](const fs::path& image) {
                                   test::WriteFile(image, Sample());
                                   fs::permissions(image, fs::perms::none);
                                 }));
  hostile.unprivileged = true;
  return hostile;
}

const std::string PAYLOAD_SUM = SumText(SamplePayload(PAYLOAD_SIZE));
const std::string LENGTH = std::to_string(PAYLOAD_SIZE);
const std::string VERSION = std::string(" VER=") + IMAGE_VERSION;

INSTANTIATE_TEST_SUITE_P(
    EachHostileInput, UploaderHostile,
    ::testing::Values(
        MissingImage("ImageIsADirectory",
                     ImageFile([](const fs::path& image) { fs::create_directory(image); })),
        MissingImage("ImageIsAFifo",
                     ImageFile([](const fs::path& image) { mkfifo(image.c_str(), 0600); })),
        MissingImage("ImageIsASymlinkLoop", ImageFile([](const fs::path& image) {
                       fs::create_symlink(image.filename(), image);
                     })),
        UnreadableImage(), MissingImage("ImageIsEmpty", Image({})),
        IncorrectImage("ImageOf95Bytes", std::vector<uint8_t>(HEADER_SIZE - 1, 'L')),
        HeaderOnlyImage(), TooLargeImage(),
        IncorrectImage("LengthOverflowing", WithHeader("LENGTH=99999999999999999999" + LENGTH +
                                                       VERSION + " SUM=" + PAYLOAD_SUM + "\r\n")),
        IncorrectImage("LengthNegative",
                       WithHeader("LENGTH=-" + LENGTH + VERSION + " SUM=" + PAYLOAD_SUM + "\r\n")),
        IncorrectImage("SumOverflowing",
                       WithHeader("LENGTH=" + LENGTH + VERSION + " SUM=99999999999999999999" +
                                  PAYLOAD_SUM + "\r\n")),
        IncorrectImage("SumNegative",
                       WithHeader("LENGTH=" + LENGTH + VERSION + " SUM=-" + PAYLOAD_SUM + "\r\n")),
        IncorrectImage("NulInTheHeader", WithHeader("LENGTH=" + LENGTH + std::string(1, '\0') +
                                                    VERSION + " SUM=" + PAYLOAD_SUM + "\r\n")),
        ReplacedImage("ImageReplacedBetweenTheCheckAndTheTransfer", false),
        ReplacedImage("ImageOverwrittenBetweenTheCheckAndTheTransfer", true),
        NoCameraPort("PortIsARegularFile",
                     [](Scene& scene) {
                       test::WriteFile(scene.scratch / "port", {});
                       return (scene.scratch / "port").string();
                     }),
        NoCameraPort("PortIsADirectory", [](Scene& scene) { return scene.scratch.string(); }),
        NoCameraPort("PortIsDevNull", [](Scene&) { return std::string("/dev/null"); }),
        NoCameraPort(
            "PortNobodyAnswers", [](Scene& scene) { return scene.terminal.emplace(false).path; },
            SILENT_PORT_BOUND_S),
        NoCameraPort("PortLockedByAnotherProcess",
                     [](Scene& scene) { return scene.terminal.emplace(true).path; }),
        LostLog("LogAtTheFileSizeLimit", "--log trace.txt", "ulimit -f 1; ",
                "stopped early: File too large"),
        LostLog("LogOnAFullDevice", "--log /dev/full", "", "stopped early: No space left"),
        OutputOnTheCameraPort("LogNamesTheCameraPort", "--log", false,
                              "; the trace would go to the camera"),
        OutputOnTheCameraPort("RecordNamesTheCameraPortBySymlink", "--record", true,
                              "; the recording would go to the camera"),
        SameFile(
            "LogIsTheImage", "--log Firmware.bin", "",
            "--log Firmware.bin is the firmware image Firmware.bin; writing it would destroy it"),
        SameFile("RecordIsTheImageByItsDotPath", "--record ./Firmware.bin", "",
                 "--record ./Firmware.bin is the firmware image Firmware.bin; writing it would "
                 "destroy it"),
        SameFile("RecordIsTheImageBySymlink", "--record image-link",
                 "ln -s Firmware.bin image-link; ",
                 "--record image-link is the firmware image Firmware.bin; writing it would "
                 "destroy it"),
        SameFile("LogIsTheImageByHardLink", "--log image-copy ./Firmware.bin",
                 "ln Firmware.bin image-copy; ",
                 "--log image-copy is the firmware image ./Firmware.bin; writing it would "
                 "destroy it"),
        SameFile(
            "RecordIsTheDeviceByHardLink", "--device sg --record sg-copy",
            "touch sg; ln sg sg-copy; ",
            "--record sg-copy is the camera's device sg; the recording would go to the camera"),
        SameFile("RecordIsTheLog", "--log out.txt --record out.txt", "",
                 "--record out.txt is the same file as --log out.txt"),
        SameFile("RecordIsTheLogBySymlink", "--log out.txt --record out-link",
                 "ln -s out.txt out-link; ", "--record out-link is the same file as --log out.txt"),
        SameFile("RecordIsTheLogByHardLink", "--log ./out.txt --record out-copy",
                 "echo kept >out.txt; ln out.txt out-copy; ",
                 "--record out-copy is the same file as --log ./out.txt"),
        FifoNobodyReads()),
    [](const auto& case_info) { return std::string(case_info.param.name); });

}  // namespace
}  // namespace pelox
