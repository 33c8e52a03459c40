// Arbitrary files as firmware images: the header check must never read past
// the file or its value buffers, and whatever it keeps as the version must
// end within its buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "app/dialog_ids.h"
#include "app/firmware_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pelox::VersionText version{};
  const int32_t code = pelox::FirmwareHeaderCheck(std::span(data, size), version);
  if (version.back() != '\0') std::abort();
  if (code == pelox::STEP_OK && size < pelox::FIRMWARE_HEADER_SIZE) std::abort();
  return 0;
}
