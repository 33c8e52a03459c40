#pragma once
// camsim as a child process: its pseudo-terminal's path is its first line
// of output, and it ends by itself once the host has been quiet.
#include <sys/wait.h>

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
    exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    output_ = nullptr;
    return rest;
  }
  // camsim's exit status, once Finish has run.
  int ExitStatus() const { return exit_status_; }

 private:
  FILE* output_;
  std::string path_;
  int exit_status_ = -1;
};

}  // namespace pelox
