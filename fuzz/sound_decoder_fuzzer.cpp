// Arbitrary compressed sound and decoded sizes against the in-place 4-bit
// expansion: it must stay inside the buffer, keep the header, leave the
// buffer alone when the size does not fit, and start every sound afresh.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "commands/sound.h"
#include "transport/byte_order.h"

namespace {

constexpr size_t SIZE_FIELD = 4;
constexpr int32_t LOWEST_PREDICTOR = -512;
constexpr int32_t HIGHEST_PREDICTOR = 511;

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

// The first four bytes are the decoded size D (little-endian), the rest the
// buffer: the sound's header and its packed codes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelox;
  if (size < SIZE_FIELD) return 0;
  const std::span<const uint8_t> input(data, size);
  const uint32_t decoded_size = LoadLe32(input.first<SIZE_FIELD>());
  const std::span<const uint8_t> sound = input.subspan(SIZE_FIELD);

  // Exact size: any write past the buffer trips the sanitizer.
  std::vector<uint8_t> buffer(sound.begin(), sound.end());
  const int32_t code = DecodeSoundSamples(buffer, decoded_size);
  Require(code == LINK_OK || code == LINK_ERROR_INVALID_ARGUMENT);
  if (code != LINK_OK) {
    Require(std::equal(buffer.begin(), buffer.end(), sound.begin()));
    return 0;
  }
  const size_t kept = std::min(buffer.size(), SOUND_HEADER_SIZE);
  Require(std::equal(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(kept), sound.begin()));
  const SoundDecoderState state = CurrentSoundDecoderState();
  Require(state.predictor >= LOWEST_PREDICTOR && state.predictor <= HIGHEST_PREDICTOR);
  Require(state.step > 0);

  // The decoder's state is the program's: a second expansion of the same
  // sound, after the first left its state behind, gives the same samples.
  std::vector<uint8_t> again(sound.begin(), sound.end());
  Require(DecodeSoundSamples(again, decoded_size) == LINK_OK);
  Require(again == buffer);
  return 0;
}
