#include "app/diagnostics/run_outputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "app/diagnostics/output_stream.h"

namespace pelox {
namespace {

constexpr mode_t NEW_FILE_MODE = 0666;

// What the run reads or talks to, which no output may be.
struct Input {
  std::string path;
  const char* what;  // "the camera's port"
  bool camera;       // an output there would go to the camera
};

struct Output {
  const char* option;  // "--log"
  std::string path;
  const char* carries;  // "the trace"
  bool is_log = false;
  int fd = -1;
  bool created = false;
  struct stat status {};
};

// Two names of one file, or two nodes of one device.
bool SameFile(const struct stat& one, const struct stat& other) {
  if (one.st_dev == other.st_dev && one.st_ino == other.st_ino) return true;
  const bool devices = (S_ISCHR(one.st_mode) && S_ISCHR(other.st_mode)) ||
                       (S_ISBLK(one.st_mode) && S_ISBLK(other.st_mode));
  return devices && one.st_rdev == other.st_rdev;
}

std::string Named(const Output& output) { return std::string(output.option) + " " + output.path; }

// Why `output`, whose file is `status`, must not be written; empty when it may.
std::string Collision(const Output& output, const struct stat& status,
                      const std::vector<Input>& inputs, const std::vector<Output>& opened) {
  for (const Input& input : inputs) {
    struct stat other {};
    if (stat(input.path.c_str(), &other) != 0 || !SameFile(status, other)) continue;
    return Named(output) + " is " + input.what + " " + input.path + "; " +
           (input.camera ? std::string(output.carries) + " would go to the camera"
                         : std::string("writing it would destroy it"));
  }
  for (const Output& other : opened) {
    if (SameFile(status, other.status)) {
      return Named(output) + " is the same file as " + Named(other);
    }
  }
  if (S_ISBLK(status.st_mode)) {
    return Named(output) + " is a block device; writing it would destroy what it holds";
  }
  return {};
}

void Discard(std::vector<Output>& outputs) {
  for (Output& output : outputs) {
    if (output.fd >= 0) close(output.fd);
    if (output.created) unlink(output.path.c_str());
    output.fd = -1;
  }
}

RunOutputs Refused(std::vector<Output>& outputs, std::string refusal) {
  Discard(outputs);
  return {OutputsOpening::REFUSED, std::move(refusal), nullptr, nullptr};
}

// Opens without truncating, without waiting for a FIFO's reader or a modem
// line, and without taking a terminal as the controlling one.
int OpenOutput(Output& output) {
  constexpr int FLAGS = O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  const int fd = open(output.path.c_str(), FLAGS | O_CREAT | O_EXCL, NEW_FILE_MODE);
  if (fd >= 0 || errno != EEXIST) {
    output.created = fd >= 0;
    return fd;
  }
  return open(output.path.c_str(), FLAGS);
}

std::string OpenProblem(const Output& output, int error, bool fifo) {
  if (error == ENXIO && fifo) {
    return Named(output) + " is a FIFO that nobody reads; start its reader first";
  }
  return "cannot write " + output.path + ": " + std::strerror(error);
}

// Opens `wanted` and adds it to `outputs`, unless it is refused; the
// opening is then over and Refused has discarded every output.
RunOutputs OpenOne(const Output& wanted, const std::vector<Input>& inputs,
                   std::vector<Output>& outputs) {
  Output output = wanted;
  // Refused by name first: an output on the camera's line is not even opened.
  struct stat named {};
  const bool exists = stat(output.path.c_str(), &named) == 0;
  if (exists) {
    if (std::string refusal = Collision(output, named, inputs, outputs); !refusal.empty()) {
      return Refused(outputs, std::move(refusal));
    }
  }
  output.fd = OpenOutput(output);
  if (output.fd < 0) {
    const int error = errno;
    RunOutputs refused =
        Refused(outputs, OpenProblem(output, error, exists && S_ISFIFO(named.st_mode)));
    if (error == EINTR) refused.opening = OutputsOpening::INTERRUPTED;
    return refused;
  }
  outputs.push_back(output);
  // And by what was opened, which a new file or a changed path may make another.
  if (fstat(output.fd, &outputs.back().status) != 0) {
    return Refused(outputs, "cannot write " + output.path + ": " + std::strerror(errno));
  }
  const std::vector<Output> before(outputs.begin(), outputs.end() - 1);
  if (std::string refusal = Collision(output, outputs.back().status, inputs, before);
      !refusal.empty()) {
    return Refused(outputs, std::move(refusal));
  }
  if (output.is_log && isatty(output.fd) == 1) {
    return Refused(outputs,
                   Named(output) + " is a terminal device; use -vv to trace to the terminal");
  }
  return {};
}

// Once every output passed its checks: emptied, and made streams.
RunOutputs Streams(std::vector<Output>& outputs) {
  for (Output& output : outputs) {
    if (S_ISREG(output.status.st_mode) && ftruncate(output.fd, 0) != 0) {
      return Refused(outputs, "cannot write " + output.path + ": " + std::strerror(errno));
    }
  }
  RunOutputs opened;
  for (Output& output : outputs) {
    FILE* stream = OutputStream(std::exchange(output.fd, -1));
    if (stream == nullptr) {
      const int error = errno;
      if (opened.log != nullptr) std::fclose(opened.log);
      return Refused(outputs, "cannot write " + output.path + ": " + std::strerror(error));
    }
    (output.is_log ? opened.log : opened.record) = stream;
  }
  return opened;
}

}  // namespace

RunOutputs OpenRunOutputs(const UploaderOptions& options, const std::string& image_path) {
  std::vector<Input> inputs{{image_path, "the firmware image", false}};
  for (const std::string& port : options.ports) inputs.push_back({port, "the camera's port", true});
  if (!options.device.empty()) inputs.push_back({options.device, "the camera's device", true});
  const Output asked[] = {{"--log", options.log_file, "the trace", true},
                          {"--record", options.record_file, "the recording"}};
  std::vector<Output> outputs;
  for (const Output& wanted : asked) {
    if (wanted.path.empty()) continue;
    if (RunOutputs ended = OpenOne(wanted, inputs, outputs);
        ended.opening != OutputsOpening::OPENED) {
      return ended;
    }
  }
  return Streams(outputs);
}

}  // namespace pelox
