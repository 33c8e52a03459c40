#pragma once
// pelox-uploader as a child process in the current directory, its standard
// output and error read together.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace pelox {

struct Outcome {
  int exit_status = -1;
  std::string output;
};

// `prefix` runs before the uploader in the same shell, such as a ulimit.
inline Outcome RunUploader(const std::string& arguments, const std::string& prefix = {}) {
  const std::string command =
      prefix + std::string(UPLOADER_PATH) + " " + arguments + " 2>&1 </dev/null";
  Outcome outcome;
  FILE* output = popen(command.c_str(), "r");
  if (output == nullptr) return outcome;
  std::array<char, 256> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), output) != nullptr) outcome.output += chunk.data();
  const int status = pclose(output);
  outcome.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

}  // namespace pelox
