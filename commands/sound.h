#pragma once
/// @file
/// Sound held with an object: its decoded size, the reads that fetch it (and
/// expand it when it came compressed), and the adaptive 4-bit decoder.
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/camera_link.h"
#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

inline constexpr uint8_t DATA_KIND_SOUND_INFORMATION = 43;
inline constexpr uint8_t DATA_KIND_SOUND = 44;
inline constexpr size_t SOUND_INFORMATION_SIZE = 32;
/// Sound data starts with a header of this size, kept as it is.
inline constexpr size_t SOUND_HEADER_SIZE = 44;

/// The decoded size D (header plus expanded samples) apart from the code:
/// LINK_OK with `size` set, or the failed selection's or read's code with
/// `size` left as it was.
[[nodiscard]] LinkError CameraGetSoundSizeChecked(uint32_t object, uint32_t& size,
                                                  CameraLink* link);
/// The decoded size, or -1 (also when the selection fails).
[[deprecated("a size from 2^31 reads negative: use CameraGetSoundSizeChecked")]] int32_t
CameraGetSoundSize(uint32_t object, CameraLink* link);
/// Reads the object's sound into the buffer, expanded when it came compressed.
/// The expansion uses the program's one decoder: no other may run meanwhile,
/// on any link.
/// Returns LINK_OK, the failing step's code,
/// LINK_ERROR_EMPTY_OBJECT for a transfer size of 0; a transfer or decoded
/// size that does not fit the buffer, or a decoded size below the header,
/// gives LINK_ERROR_UNEXPECTED and nothing is read.
int32_t CameraReadSound(std::span<uint8_t> buffer, uint32_t object, CameraLink* link);
/// Reads the object's data, then its sound. Both buffers must hold the object
/// size plus the transfer size, the sound buffer also the decoded size;
/// otherwise LINK_ERROR_UNEXPECTED and nothing is read.
int32_t CameraReadObjectAndSound(std::span<uint8_t> image, std::span<uint8_t> sound,
                                 uint32_t object, CameraLink* link);

/// Expands, in place, the compressed sound after the header into 8-bit samples
/// (128 the middle): 2 * ((D - 44) / 2) samples. LINK_OK, or
/// LINK_ERROR_INVALID_ARGUMENT when D is below the header size or the samples
/// would not fit the buffer (nothing is touched).
int32_t DecodeSoundSamples(std::span<uint8_t> buffer, uint32_t decoded_size);

/// One 4-bit code (high bit: negative) through the decoder; the start flag
/// begins a new sound. Returns the new predictor, -512 to 511. The decoder's
/// state is one for the whole program: two expansions must not overlap.
int32_t DecodeSoundNibble(uint8_t code, bool start);

struct SoundDecoderState {
  int16_t step;
  int16_t predictor;
};
/// The decoder's state now, for tests of a caller's own expansion.
SoundDecoderState CurrentSoundDecoderState();
/// Back to the state a new sound starts with.
void ResetSoundDecoder();

}  // namespace pelox
PELOX_API_END
