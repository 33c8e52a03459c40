#pragma once
// Files for tests, written into a scratch directory that the test makes its
// current directory.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pelox::test {

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// Makes a fresh scratch directory current for its lifetime.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

}  // namespace pelox::test
