#include <array>

#include "commands/command_steps.h"
#include "commands/object_commands.h"
#include "commands/property_commands.h"
#include "commands/sound.h"
#include "link/error_record.h"
#include "link/link_info.h"
#include "transport/byte_order.h"

namespace pelox {
namespace {

// Where the sound phase's progress starts, per byte of image in the total:
// in 1/256 percent, a quarter of the share the image phase reached.
constexpr int64_t SOUND_PHASE_PROGRESS_SCALE = 6400;

struct SoundInformation {
  uint32_t decoded_size;
  uint32_t transfer_size;
  bool compressed;
};

// 0 with the sound information of the selected object, else the read's code.
int32_t ReadSoundInformation(SoundInformation& information, CameraLink* link) {
  std::array<uint8_t, SOUND_INFORMATION_SIZE> block{};
  const int32_t code = LinkReadBlock(DATA_KIND_SOUND_INFORMATION, block, link);
  if (code != LINK_OK) return code;
  const std::span<const uint8_t> fields(block);
  information.decoded_size = LoadLe32(fields.subspan<0, 4>());
  information.transfer_size = LoadLe32(fields.subspan<4, 4>());
  information.compressed = LoadLe32(fields.subspan<8, 4>()) == 0;
  return LINK_OK;
}

bool TransferSizeValid(const SoundInformation& information) {
  return static_cast<int32_t>(information.transfer_size) >= 0;
}

// Whether a sound buffer of this capacity takes the transfer and, for
// compressed sound, the expansion of all the packed bytes that arrive.
bool SoundFits(const SoundInformation& information, size_t capacity) {
  if (information.transfer_size > capacity) return false;
  if (!information.compressed) return true;
  const uint32_t decoded = information.decoded_size;
  return decoded >= SOUND_HEADER_SIZE && decoded <= capacity &&
         information.transfer_size >= SOUND_HEADER_SIZE + (decoded - SOUND_HEADER_SIZE) / 2;
}

int32_t ExpandIfCompressed(int32_t code, const SoundInformation& information,
                           std::span<uint8_t> sound) {
  if (code == LINK_OK && information.compressed) {
    DecodeSoundSamples(sound, information.decoded_size);
  }
  return code;
}

// A read's code, or LINK_ERROR_UNEXPECTED when it succeeded with other than
// the announced number of bytes.
int32_t ReceivedAsAnnounced(int32_t code, uint32_t announced, CameraLink* link) {
  if (code != LINK_OK || LinkBytesReceived(link) == announced) return code;
  return LinkSetError(LINK_ERROR_UNEXPECTED, link);
}

}  // namespace

LinkError CameraGetSoundSizeChecked(uint32_t object, uint32_t& size, CameraLink* link) {
  return static_cast<LinkError>(RepeatOnRestart([&]() -> int32_t {
    if (!Select(PROPERTY_OBJECT_NUMBER, object, link)) return LinkLastError(link);
    SoundInformation information{};
    const int32_t code = ReadSoundInformation(information, link);
    if (code == LINK_OK) size = information.decoded_size;
    return code;
  }));
}

int32_t CameraGetSoundSize(uint32_t object, CameraLink* link) {
  uint32_t size = 0;
  return CameraGetSoundSizeChecked(object, size, link) == LINK_OK ? static_cast<int32_t>(size)
                                                                  : SELECTION_FAILED;
}

int32_t CameraReadSound(std::span<uint8_t> buffer, uint32_t object, CameraLink* link) {
  return RepeatOnRestart([&] {
    int32_t code = LinkSetValue(PROPERTY_OBJECT_NUMBER, object, link);
    if (code != LINK_OK) return code;
    SoundInformation information{};
    code = ReadSoundInformation(information, link);
    if (code != LINK_OK) return code;
    if (information.transfer_size == 0) return LinkSetError(LINK_ERROR_EMPTY_OBJECT, link);
    if (!TransferSizeValid(information) || !SoundFits(information, buffer.size())) {
      return LinkSetError(LINK_ERROR_UNEXPECTED, link);
    }
    code = LinkReadData(DATA_KIND_SOUND, buffer.first(information.transfer_size), object, 0, link);
    return ExpandIfCompressed(code, information, buffer);
  });
}

int32_t CameraReadObjectAndSound(std::span<uint8_t> image, std::span<uint8_t> sound,
                                 uint32_t object, CameraLink* link) {
  return RepeatOnRestart([&] {
    int32_t code = LinkSetValue(PROPERTY_OBJECT_NUMBER, object, link);
    if (code != LINK_OK) return code;
    const int32_t image_size = LinkGetValue(PROPERTY_OBJECT_SIZE, true, link);
    code = CheckObjectSize(image_size, image.size(), link);
    if (code != LINK_OK) return code;
    SoundInformation information{};
    code = ReadSoundInformation(information, link);
    if (code != LINK_OK) return code;
    if (!TransferSizeValid(information)) return LinkSetError(LINK_ERROR_UNEXPECTED, link);

    // Both phases count against the whole, so the bar runs once across them.
    const bool has_sound = information.transfer_size > 0;
    const uint64_t whole = static_cast<uint64_t>(image_size) + information.transfer_size;
    if (whole > image.size() ||
        (has_sound && (whole > sound.size() || !SoundFits(information, sound.size())))) {
      return LinkSetError(LINK_ERROR_UNEXPECTED, link);
    }
    // Each phase reads against the whole but must deliver what was announced.
    const auto total = static_cast<size_t>(whole);
    code = ReceivedAsAnnounced(LinkReadDataUpTo(DATA_KIND_OBJECT, image.first(total), 0, link),
                               static_cast<uint32_t>(image_size), link);
    if (code != LINK_OK || !has_sound) return code;

    const auto sound_start =
        static_cast<int32_t>(image_size * SOUND_PHASE_PROGRESS_SCALE / static_cast<int64_t>(total));
    code = ReceivedAsAnnounced(
        LinkReadDataUpTo(DATA_KIND_SOUND, sound.first(total), sound_start, link),
        information.transfer_size, link);
    return ExpandIfCompressed(code, information, sound);
  });
}

}  // namespace pelox
