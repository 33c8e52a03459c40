// make-firmware: writes a sample Firmware.bin that passes the uploader's
// checks, for the demo and by hand.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "app/firmware_image.h"
#include "commands/firmware_commands.h"
#include "tools/firmware_sample.h"

namespace {

constexpr int EXIT_USAGE = 2;
constexpr size_t DEFAULT_PAYLOAD_SIZE = 65536;
// The largest payload whose image the uploader still takes.
constexpr size_t LARGEST_PAYLOAD = pelox::FIRMWARE_FILE_MAX_SIZE - pelox::FIRMWARE_HEADER_SIZE;

void PrintUsage(FILE* to, const char* program) {
  std::fprintf(to,
               "Usage: %s --version TEXT [--payload-size BYTES] [--out PATH]\n"
               "Writes a firmware image whose header agrees with its payload\n"
               "(default: 65536 bytes of payload into Firmware.bin).\n",
               program);
}

int Usage(const char* program) {
  PrintUsage(stderr, program);
  return EXIT_USAGE;
}

int Refuse(const char* program, const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", program, why.c_str());
  return EXIT_USAGE;
}

// Plain decimal digits only: no sign, no blanks, nothing after them.
std::optional<size_t> ReadPayloadSize(std::string_view text) {
  size_t size = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), size);
  if (text.empty() || failure != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return size;
}

}  // namespace

int main(int argc, char** argv) {
  std::string version;
  std::optional<std::string_view> payload_text;
  std::string out = "Firmware.bin";
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    PrintUsage(stdout, argv[0]);
    return EXIT_SUCCESS;
  }
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    if (option == "--version") {
      version = argv[i + 1];
    } else if (option == "--payload-size") {
      payload_text = argv[i + 1];
    } else if (option == "--out") {
      out = argv[i + 1];
    } else {
      return Usage(argv[0]);
    }
  }
  if (version.empty() || argc % 2 == 0) return Usage(argv[0]);

  size_t payload_size = DEFAULT_PAYLOAD_SIZE;
  if (payload_text) {
    const std::optional<size_t> size = ReadPayloadSize(*payload_text);
    if (!size || *size > LARGEST_PAYLOAD) {
      return Refuse(argv[0], "--payload-size wants a number of bytes from 0 to " +
                                 std::to_string(LARGEST_PAYLOAD) + ", not \"" +
                                 std::string(*payload_text) + "\"");
    }
    payload_size = *size;
  }
  const auto payload = pelox::SamplePayload(payload_size);
  if (pelox::SampleFirmwareHeader(version, payload).size() > pelox::FIRMWARE_HEADER_SIZE) {
    return Refuse(argv[0], "--version \"" + version + "\" is too long: the header would pass its " +
                               std::to_string(pelox::FIRMWARE_HEADER_SIZE) + " bytes");
  }

  const auto image = pelox::SampleFirmwareImage(version, payload);
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
