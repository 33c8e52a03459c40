#include <algorithm>
#include <cstring>

#include "commands/sound.h"

namespace pelox {
namespace {

constexpr int16_t START_STEP = 2;
constexpr int32_t MIN_STEP = 1;
constexpr int32_t MAX_STEP = 48;
constexpr int32_t MIN_PREDICTOR = -512;
constexpr int32_t MAX_PREDICTOR = 511;
constexpr uint8_t NEGATIVE_CODE = 8;
constexpr int32_t SAMPLE_MIDDLE = 128;

SoundDecoderState decoder{START_STEP, 0};

struct Adaptation {
  int32_t difference;
  int32_t next_step;
};

// The difference a code's magnitude stands for, and how the step adapts.
Adaptation Adapt(int32_t magnitude, bool negative, int32_t s) {
  switch (magnitude) {
    case 0: return {0, (3 * s) >> 2};
    case 1: return {s, (3 * s) >> 2};
    case 2: return {2 * s, s};
    case 3: return {3 * s, s};
    case 4: return {4 * s, s};
    case 5: return {5 * s + (s >> 1), s + (s >> 2)};
    case 6: return {(15 * s) >> 1, 2 * s};
    // The camera's encoder takes a negative 7 as 9.5 steps, a positive as 10.5.
    case 7: return {(negative ? 9 * s : 10 * s) + (s >> 1), 2 * s + (s >> 1)};
    default: return {12 * s + (s >> 1), 5 * s};
  }
}

uint8_t Sample(int32_t predictor) { return static_cast<uint8_t>((predictor >> 2) + SAMPLE_MIDDLE); }

}  // namespace

int32_t DecodeSoundNibble(uint8_t code, bool start) {
  if (start) ResetSoundDecoder();
  code &= 0x0F;
  const bool negative = code >= NEGATIVE_CODE;
  const int32_t magnitude = negative ? 16 - code : code;
  const Adaptation adaptation = Adapt(magnitude, negative, decoder.step);
  const int32_t difference = negative ? -adaptation.difference : adaptation.difference;
  decoder.predictor = static_cast<int16_t>(
      std::clamp(decoder.predictor + difference, MIN_PREDICTOR, MAX_PREDICTOR));
  decoder.step = static_cast<int16_t>(std::clamp(adaptation.next_step, MIN_STEP, MAX_STEP));
  return decoder.predictor;
}

SoundDecoderState CurrentSoundDecoderState() { return decoder; }

void ResetSoundDecoder() { decoder = {START_STEP, 0}; }

int32_t DecodeSoundSamples(std::span<uint8_t> buffer, uint32_t decoded_size) {
  if (decoded_size < SOUND_HEADER_SIZE) return LINK_ERROR_INVALID_ARGUMENT;
  const size_t packed = (decoded_size - SOUND_HEADER_SIZE) / 2;
  if (buffer.size() < SOUND_HEADER_SIZE + 2 * packed) return LINK_ERROR_INVALID_ARGUMENT;

  // Two samples come from every packed byte: move the packed bytes to the
  // second half of the sample area and expand them from its start.
  const std::span<uint8_t> samples = buffer.subspan(SOUND_HEADER_SIZE, 2 * packed);
  std::memmove(samples.data() + packed, samples.data(), packed);
  for (size_t i = 0; i < packed; ++i) {
    const uint8_t codes = samples[packed + i];
    samples[2 * i] = Sample(DecodeSoundNibble(static_cast<uint8_t>(codes >> 4), i == 0));
    samples[2 * i + 1] = Sample(DecodeSoundNibble(static_cast<uint8_t>(codes & 0x0F), false));
  }
  return LINK_OK;
}

}  // namespace pelox
