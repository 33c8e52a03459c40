#pragma once
// A file name in the system's temporary folder that no other test run on the
// machine picks at the same time: several suites may run at once.
#include <filesystem>
#include <random>
#include <string>
#include <string_view>

namespace pelox::test {

inline std::filesystem::path UniqueTempPath(std::string_view stem) {
  return std::filesystem::temp_directory_path() /
         (std::string(stem) + "_" + std::to_string(std::random_device{}()));
}

}  // namespace pelox::test
