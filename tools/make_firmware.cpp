// make-firmware: writes a sample Firmware.bin that passes the uploader's
// checks, for the demo and by hand.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "tools/firmware_sample.h"

namespace {

constexpr int EXIT_USAGE = 2;
constexpr size_t DEFAULT_PAYLOAD_SIZE = 65536;

int Usage(const char* program) {
  std::fprintf(stderr,
               "Usage: %s --version TEXT [--payload-size BYTES] [--out PATH]\n"
               "Writes a firmware image whose header agrees with its payload\n"
               "(default: 65536 bytes of payload into Firmware.bin).\n",
               program);
  return EXIT_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
  std::string version;
  size_t payload_size = DEFAULT_PAYLOAD_SIZE;
  std::string out = "Firmware.bin";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    if (option == "--version") {
      version = argv[i + 1];
    } else if (option == "--payload-size") {
      payload_size = std::strtoul(argv[i + 1], nullptr, 10);
    } else if (option == "--out") {
      out = argv[i + 1];
    } else {
      return Usage(argv[0]);
    }
  }
  if (version.empty() || argc % 2 == 0) return Usage(argv[0]);

  const auto image = pelox::SampleFirmwareImage(version, pelox::SamplePayload(payload_size));
  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  if (!file) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], out.c_str());
    return EXIT_FAILURE;
  }
  std::printf("%s: %zu bytes, version %s\n", out.c_str(), image.size(), version.c_str());
  return EXIT_SUCCESS;
}
