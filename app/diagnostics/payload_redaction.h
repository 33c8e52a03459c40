#pragma once
// Finds the image's payload in the bytes sent to the camera, so that a
// recording can leave it out: images may be confidential. The payload goes
// out in order, a slice a frame, and a slice may be sent again.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace pelox {

// `size` bytes at `at` in the sent bytes are the payload's bytes from `offset`.
struct PayloadRun {
  size_t at = 0;
  size_t offset = 0;
  size_t size = 0;
};

class PayloadRedaction {
 public:
  // `payload` must outlive the redaction.
  explicit PayloadRedaction(std::span<const uint8_t> payload) : payload_(payload) {}
  // The run of payload in `sent`, looked for where the last one ended, where
  // it began (a slice sent again) and at the start (a transfer begun again).
  std::optional<PayloadRun> Find(std::span<const uint8_t> sent);

 private:
  std::optional<PayloadRun> FindFrom(std::span<const uint8_t> sent, size_t offset) const;

  std::span<const uint8_t> payload_;
  size_t next_ = 0;
  size_t last_ = 0;
};

}  // namespace pelox
