#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "commands/sound.h"

namespace pelox {
namespace {

struct Step {
  uint8_t code;
  int32_t predictor;
  int16_t step;
};

TEST(SoundDecoderNibble, FreshStartGivesTheKnownPredictors) {
  // Each from a fresh start: 0 shrinks the step, 7 and 9 are the asymmetric
  // 10.5 and 9.5 steps, 8 is the largest negative.
  for (const Step& expected : {Step{0, 0, 1}, Step{7, 21, 5}, Step{9, -19, 5}, Step{8, -25, 10}}) {
    EXPECT_EQ(DecodeSoundNibble(expected.code, true), expected.predictor) << int{expected.code};
    EXPECT_EQ(CurrentSoundDecoderState().step, expected.step) << int{expected.code};
  }
}

TEST(SoundDecoderNibble, LimitsPredictorAndStep) {
  DecodeSoundNibble(7, true);
  for (int i = 0; i < 3; ++i) DecodeSoundNibble(7, false);
  ASSERT_EQ(CurrentSoundDecoderState().step, 48);
  ASSERT_EQ(CurrentSoundDecoderState().predictor, 511);
  EXPECT_EQ(DecodeSoundNibble(7, false), 511);
  EXPECT_EQ(CurrentSoundDecoderState().step, 48);
  for (int i = 0; i < 4; ++i) DecodeSoundNibble(8, false);
  EXPECT_EQ(CurrentSoundDecoderState().predictor, -512);
  for (int i = 0; i < 20; ++i) DecodeSoundNibble(0, false);
  EXPECT_EQ(CurrentSoundDecoderState().step, 1);
}

TEST(SoundDecoderNibble, StateCarriesAcrossCallsUntilTheNextStart) {
  DecodeSoundNibble(7, true);
  EXPECT_EQ(DecodeSoundNibble(7, false), 73);
  EXPECT_EQ(DecodeSoundNibble(7, true), 21);
  ResetSoundDecoder();
  EXPECT_EQ(CurrentSoundDecoderState().step, 2);
  EXPECT_EQ(CurrentSoundDecoderState().predictor, 0);
}

std::vector<uint8_t> SoundWithHeader(std::initializer_list<uint8_t> packed, size_t extra = 0) {
  std::vector<uint8_t> buffer(SOUND_HEADER_SIZE, 0xA5);
  buffer.insert(buffer.end(), packed);
  buffer.resize(buffer.size() + extra, 0xEE);
  return buffer;
}

TEST(SoundDecoderSamples, ExpandsEachByteHighCodeFirstAndKeepsTheHeader) {
  std::vector<uint8_t> buffer = SoundWithHeader({0x77, 0x00}, 2);
  ASSERT_EQ(DecodeSoundSamples(buffer, 48), LINK_OK);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 44),
            std::vector<uint8_t>(44, 0xA5));
  // 0x77: P 21 then 73; 0x00 keeps P and shrinks the step.
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 44, buffer.end()),
            (std::vector<uint8_t>{133, 146, 146, 146}));
}

TEST(SoundDecoderSamples, FirstByteZeroGivesMiddleSamplesAndStepOne) {
  std::vector<uint8_t> buffer = SoundWithHeader({0x00}, 1);
  ASSERT_EQ(DecodeSoundSamples(buffer, 46), LINK_OK);
  EXPECT_EQ(buffer[44], 128);
  EXPECT_EQ(buffer[45], 128);
  EXPECT_EQ(CurrentSoundDecoderState().step, 1);
}

TEST(SoundDecoderSamples, EverySoundStartsTheDecoderAfresh) {
  DecodeSoundNibble(7, true);
  DecodeSoundNibble(7, false);
  std::vector<uint8_t> buffer = SoundWithHeader({0x77}, 1);
  ASSERT_EQ(DecodeSoundSamples(buffer, 46), LINK_OK);
  EXPECT_EQ(buffer[44], 133);
}

TEST(SoundDecoderSamples, HeaderOnlySizesWriteNothing) {
  for (const uint32_t size : {44u, 45u}) {
    std::vector<uint8_t> buffer = SoundWithHeader({0x77, 0x77});
    const std::vector<uint8_t> before = buffer;
    EXPECT_EQ(DecodeSoundSamples(buffer, size), LINK_OK);
    EXPECT_EQ(buffer, before) << size;
  }
}

TEST(SoundDecoderSamples, RefusesSizesBelowTheHeaderOrBeyondTheBuffer) {
  std::vector<uint8_t> buffer = SoundWithHeader({0x77, 0x77});
  const std::vector<uint8_t> before = buffer;
  EXPECT_EQ(DecodeSoundSamples(buffer, 43), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(DecodeSoundSamples(buffer, 0), LINK_ERROR_INVALID_ARGUMENT);
  // Two packed bytes need four sample bytes: the buffer holds only two.
  EXPECT_EQ(DecodeSoundSamples(buffer, 48), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(DecodeSoundSamples(buffer, 0xFFFFFFFF), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(buffer, before);
  EXPECT_EQ(DecodeSoundSamples(buffer, 47), LINK_OK);
}

}  // namespace
}  // namespace pelox
