// Arbitrary command lines against pelox-uploader's option parser: it must
// never throw or crash, and what it lets run must be a consistent set of
// options; everything else ends with a text and the usage status.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "app/session/options.h"
#include "link/speed_table.h"

namespace {

constexpr char ARGUMENT_END = '\0';

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

// The input is the arguments after the program's name, each ended by a NUL.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelox;
  std::vector<std::string> arguments = {"pelox-uploader"};
  std::string current;
  for (const uint8_t byte : std::span(data, size)) {
    if (static_cast<char>(byte) != ARGUMENT_END) {
      current.push_back(static_cast<char>(byte));
      continue;
    }
    arguments.push_back(current);
    current.clear();
  }
  if (!current.empty()) arguments.push_back(current);

  const CommandLine line = ParseCommandLine(arguments);
  if (!line.options) {
    Require(line.exit_status == EXIT_WRITTEN || line.exit_status == EXIT_USAGE);
    Require(!line.text.empty());
    return 0;
  }
  const UploaderOptions& options = *line.options;
  Require(line.exit_status == EXIT_WRITTEN && line.text.empty());
  Require(options.ports.size() <= SERIAL_PORTS_MAX);
  Require(!(options.list && options.check));
  Require(options.verbosity >= 0 && options.verbosity <= 2);
  Require(!options.speed_index ||
          (*options.speed_index >= SPEED_INDEX_FIRST && *options.speed_index <= SPEED_INDEX_LAST));
  return 0;
}
