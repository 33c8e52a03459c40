#pragma once
// camsim as a child process: its pseudo-terminal's path is its first line
// of output, and it ends by itself once the host has been quiet.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

namespace pelox {

class Camsim {
 public:
  explicit Camsim(const std::string& options)
      : output_(
            popen((std::string(CAMSIM_PATH) + " --idle-exit-ms 1500 " + options).c_str(), "r")) {
    std::array<char, 256> line{};
    if (output_ != nullptr && std::fgets(line.data(), line.size(), output_) != nullptr) {
      path_ = line.data();
      if (!path_.empty() && path_.back() == '\n') path_.pop_back();
      // While a line is open its number is not given out again: once this
      // camsim has ended, an uploader reopening the path finds nothing there
      // rather than the camera of a test running beside it.
      number_hold_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
  }
  ~Camsim() { Finish(); }
  Camsim(const Camsim&) = delete;
  Camsim& operator=(const Camsim&) = delete;

  const std::string& Path() const { return path_; }
  // What camsim printed after its first line, once it has ended.
  std::string Finish() {
    std::string rest;
    if (output_ == nullptr) return rest;
    std::array<char, 256> chunk{};
    while (std::fgets(chunk.data(), chunk.size(), output_) != nullptr) rest += chunk.data();
    const int status = pclose(output_);
    if (number_hold_ >= 0) close(number_hold_);
    number_hold_ = -1;
    exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    output_ = nullptr;
    return rest;
  }
  // camsim's exit status, once Finish has run.
  int ExitStatus() const { return exit_status_; }

 private:
  FILE* output_;
  std::string path_;
  int number_hold_ = -1;
  int exit_status_ = -1;
};

}  // namespace pelox
