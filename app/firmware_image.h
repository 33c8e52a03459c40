#pragma once
// The firmware image: Firmware.bin in the current directory, a 96-byte text
// header (LENGTH=, VER=, SUM=) followed by the payload. It is read once into
// memory, and those bytes are checked and sent: whatever happens to the file
// meanwhile, the camera gets what was checked. The file stays open (on
// Windows unshared) until the dialog closes, so that other programs see it
// in use.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/devices.h"
#include "platform/file.h"

namespace pelox {

inline constexpr std::string_view FIRMWARE_FILE_NAME = "Firmware.bin";
inline constexpr size_t FIRMWARE_HEADER_SIZE = 96;
// Room for a path, terminator included.
inline constexpr size_t FIRMWARE_PATH_CAPACITY = 260;
// Room for a header value or a version text, terminator included.
inline constexpr size_t VERSION_TEXT_CAPACITY = 32;

using VersionText = std::array<char, VERSION_TEXT_CAPACITY>;

struct FirmwareImage {
  FileHandle file = nullptr;
  int64_t file_size = 0;       // as the open file reported it
  uint32_t open_error = 0;     // the system's error when the file did not open
  std::vector<uint8_t> bytes;  // the image as read at open: what is checked and sent
};

// The image's path; empty when the current directory is not available or
// the path would not fit its capacity.
std::string FirmwareImagePath();

// Opens the image at `path`, by default the image's path above, and reads it
// whole unless it is larger than the transfer takes (FIRMWARE_FILE_MAX_SIZE;
// the check then refuses it). Returns STEP_OK, STEP_ERROR_ACCESS_DENIED (no current directory),
// STEP_ERROR_FILE_NOT_FOUND (missing, not a regular file, on Windows in use;
// the system's error in open_error) or
// STEP_ERROR_CANTOPEN (empty or unreadable). What was opened stays in `image`
// either way, for FirmwareImageRelease.
int32_t FirmwareImageOpen(FirmwareImage& image, std::string path = {});
void FirmwareImageRelease(FirmwareImage& image);

// Checks the header of a whole image against its size and payload sum and
// keeps its VER= text. STEP_OK, or STEP_ERROR_INVALID_PARAMETER for any image
// that does not hold together.
int32_t FirmwareHeaderCheck(std::span<const uint8_t> image, VersionText& version);

// Why an image does not hold together, with the two numbers that disagree
// for a length or sum mismatch.
enum class HeaderFault {
  NONE,
  SHORT,            // smaller than its header
  NO_LENGTH,        // LENGTH= missing or too long
  LENGTH_MISMATCH,  // declared: LENGTH=, actual: the payload's size
  EMPTY_PAYLOAD,    // LENGTH=0: a header with no firmware behind it
  NO_VERSION,       // VER= missing or too long
  NO_SUM,           // SUM= missing or too long
  SUM_MISMATCH,     // declared: SUM=, actual: the payload's byte sum
  TOO_LARGE,        // declared: the limit, actual: the file's size
};

struct HeaderVerdict {
  HeaderFault fault = HeaderFault::NONE;
  int64_t declared = 0;
  int64_t actual = 0;
};

// FirmwareHeaderCheck, saying why.
HeaderVerdict FirmwareHeaderInspect(std::span<const uint8_t> image, VersionText& version);
// The check of an opened image: its size first, then the header of its bytes.
HeaderVerdict FirmwareImageInspect(const FirmwareImage& image, VersionText& version);

// The header's LENGTH=, VER= and SUM= values as written; each empty when
// missing or too long to be read.
struct HeaderFields {
  std::string length;
  std::string version;
  std::string sum;
};
HeaderFields FirmwareHeaderFields(std::span<const uint8_t> image);
// The byte sum of what follows the header, wrapping at 32 bits.
uint32_t FirmwarePayloadSum(std::span<const uint8_t> image);

// Reads a header number: leading white space, an optional sign, digits up to
// the first other character, saturating at the limits of int32_t.
int32_t ParseHeaderNumber(std::string_view text);

}  // namespace pelox
