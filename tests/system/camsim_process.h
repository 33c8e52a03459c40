#pragma once
// camsim as a child process: its pseudo-terminal's path is its first line
// of output, and it ends by itself once the host has been quiet.
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
    pclose(output_);
    output_ = nullptr;
    return rest;
  }

 private:
  FILE* output_;
  std::string path_;
};

}  // namespace pelox
