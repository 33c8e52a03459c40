#pragma once
// Pictures for the virtual camera: generated from their number, so that a
// test knows every byte, or read from a directory of files. Objects are
// numbered from 1; selecting the number after the last is refused.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/vocabulary/command_vocabulary.h"

namespace pelox::sim {

inline constexpr uint32_t FIRST_PICTURE_NUMBER = 1;

// The picture `number` generates: JPEG-marked data and thumbnail whose sizes
// vary with the number; odd numbers also hold a compressed sound.
SimObject GeneratedPicture(uint32_t number);

// One picture per file of the directory, in name order. A file NAME.thm
// beside NAME.EXT is that picture's secondary data, NAME.wav its sound (as
// uncompressed 8-bit samples after the 44-byte header). Nothing, with the
// reason in `error`, when the directory or a file cannot be read.
std::optional<std::vector<SimObject>> PicturesFromDirectory(const std::string& directory,
                                                            std::string& error);

// The pictures of the directory when one is named, else `generated`
// generated ones (none for 0).
std::optional<std::vector<SimObject>> ChosenPictures(const std::string& directory,
                                                     uint32_t generated, std::string& error);

// Gives the camera the pictures, numbered from FIRST_PICTURE_NUMBER.
void AddPictures(CommandVocabulary& vocabulary, std::vector<SimObject> pictures);

}  // namespace pelox::sim
