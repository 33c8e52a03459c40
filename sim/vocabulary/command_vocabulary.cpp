#include "sim/vocabulary/command_vocabulary.h"

#include <algorithm>
#include <array>

#include "sim/camera/camera_ranges.h"
#include "transport/byte_order.h"

namespace pelox::sim {
namespace {

constexpr uint8_t HIGHEST_ACTION = 19;
// Action codes the camera has no action for.
constexpr std::array<uint8_t, 3> NO_ACTION{10, 15, 17};
constexpr size_t SOUND_INFORMATION_BYTES = 32;
constexpr uint64_t MS_PER_SECOND = 1000;

bool OwnedByContract(uint8_t id) {
  return id == PROPERTY_BATTERY || id == PROPERTY_READY || id == PROPERTY_UPLOAD_KEY;
}

// A property the camera computes from its state: it cannot be set.
PropertyHooks Computed(std::function<uint32_t()> value) {
  return {.compute = [value = std::move(value)](uint64_t) { return value(); },
          .on_set = [](uint32_t, uint64_t) { return false; }};
}

// A property whose in-range sets the vocabulary notes in `target`.
PropertyHooks Noted(uint32_t& target) {
  return {.compute = {}, .on_set = [&target](uint32_t value, uint64_t) {
            target = value;
            return true;
          }};
}

uint32_t SizeOf(const std::vector<uint8_t>& bytes) { return static_cast<uint32_t>(bytes.size()); }

}  // namespace

CommandVocabulary::CommandVocabulary(CameraModel& model) : model_(model) {
  RegisterProperties();
  RegisterSelections();
  RegisterKinds();
  RegisterActions();
}

void CommandVocabulary::RegisterProperties() {
  for (uint8_t id = 0; id <= CAMERA_HIGHEST_ID; ++id) {
    if (!OwnedByContract(id)) model_.RegisterProperty(id, CameraPropertyRange(id).minimum);
  }
  model_.RegisterProperty(
      PROPERTY_CLOCK, 0,
      {.compute =
           [this](uint64_t now_ms) {
             return static_cast<uint32_t>(clock_base_seconds_ + now_ms / MS_PER_SECOND);
           },
       .on_set =
           [this](uint32_t seconds, uint64_t now_ms) {
             clock_base_seconds_ = static_cast<uint32_t>(seconds - now_ms / MS_PER_SECOND);
             return true;
           }});
}

void CommandVocabulary::RegisterSelections() {
  // Only an object the camera holds can be selected.
  model_.RegisterProperty(PROPERTY_OBJECT_NUMBER, 0,
                          {.compute = {}, .on_set = [this](uint32_t number, uint64_t) {
                             if (!objects_.contains(number)) return false;
                             selected_object_ = number;
                             return true;
                           }});
  model_.RegisterProperty(PROPERTY_ENTRY, 0, Noted(entry_));
  model_.RegisterProperty(PROPERTY_TEXT_ENTRY, 0, Noted(text_entry_));
  model_.RegisterProperty(PROPERTY_OBJECT_SIZE, 0,
                          Computed([this] { return Selected() ? SizeOf(Selected()->data) : 0; }));
  model_.RegisterProperty(PROPERTY_SECONDARY_SIZE, 0, Computed([this] {
                            return Selected() ? SizeOf(Selected()->secondary) : 0;
                          }));
  model_.RegisterProperty(PROPERTY_OBJECT_39, 0,
                          Computed([this] { return Selected() ? Selected()->property_39 : 0; }));
}

void CommandVocabulary::RegisterKinds() {
  for (uint8_t kind = 0; kind <= CAMERA_HIGHEST_ID; ++kind) {
    if (kind == KIND_FIRMWARE || kind == KIND_FIRMWARE_VERSION || kind == KIND_MAKER) continue;
    model_.RegisterReadableKind(kind,
                                [this, kind](uint64_t) -> std::optional<std::vector<uint8_t>> {
                                  const auto found = blobs_.find(kind);
                                  if (found == blobs_.end()) return std::nullopt;
                                  return found->second;
                                });
    model_.RegisterWritableKind(kind, [this, kind](std::span<const uint8_t> data, uint64_t) {
      writes_[kind].assign(data.begin(), data.end());
      return true;
    });
  }

  const auto from_selected = [this](auto part) {
    return [this, part](uint64_t) -> std::optional<std::vector<uint8_t>> {
      const SimObject* object = Selected();
      if (object == nullptr) return std::nullopt;
      return part(*object);
    };
  };
  model_.RegisterReadableKind(KIND_OBJECT, from_selected([](const SimObject& object) {
                                return std::optional(object.data);
                              }));
  model_.RegisterReadableKind(KIND_SECONDARY, from_selected([](const SimObject& object) {
                                return std::optional(object.secondary);
                              }));
  model_.RegisterReadableKind(KIND_SOUND, from_selected([](const SimObject& object) {
                                return object.sound ? std::optional(object.sound->data)
                                                    : std::nullopt;
                              }));
  model_.RegisterReadableKind(KIND_SOUND_INFORMATION,
                              [this](uint64_t) { return SoundInformation(); });
  for (const uint8_t kind : std::array<uint8_t, 4>{47, 74, 79, 92}) {
    model_.RegisterReadableKind(kind, from_selected([kind](const SimObject& object) {
                                  const auto found = object.blobs.find(kind);
                                  return found == object.blobs.end() ? std::nullopt
                                                                     : std::optional(found->second);
                                }));
  }
  for (const auto& [kind, entry] :
       {std::pair<uint8_t, const uint32_t*>{57, &entry_}, {84, &text_entry_}, {91, &text_entry_}}) {
    model_.RegisterReadableKind(
        kind, [this, kind = kind, entry = entry](uint64_t) -> std::optional<std::vector<uint8_t>> {
          const auto found = entry_blobs_.find({kind, *entry});
          if (found == entry_blobs_.end()) return std::nullopt;
          return found->second;
        });
  }
  blobs_[KIND_USAGE_TABLE] = std::vector<uint8_t>(USAGE_TABLE_BYTES);
}

void CommandVocabulary::RegisterActions() {
  for (uint8_t code = 0; code <= HIGHEST_ACTION; ++code) {
    if (code == ACTION_WRITE_FIRMWARE || std::ranges::find(NO_ACTION, code) != NO_ACTION.end()) {
      continue;
    }
    model_.RegisterAction(code, [this, code](uint8_t argument, uint64_t) {
      actions_.push_back({code, argument});
      return std::optional(action_busy_ms_);
    });
  }
}

const SimObject* CommandVocabulary::Selected() const {
  const auto found = objects_.find(selected_object_);
  return found == objects_.end() ? nullptr : &found->second;
}

std::optional<std::vector<uint8_t>> CommandVocabulary::SoundInformation() const {
  const SimObject* object = Selected();
  if (object == nullptr) return std::nullopt;
  std::vector<uint8_t> block(SOUND_INFORMATION_BYTES);
  const std::span<uint8_t> fields(block);
  if (object->sound) {
    StoreLe32(fields.subspan<0, 4>(), object->sound->decoded_size);
    StoreLe32(fields.subspan<4, 4>(),
              object->sound->stated_transfer_size.value_or(SizeOf(object->sound->data)));
    StoreLe32(fields.subspan<8, 4>(), object->sound->compressed ? 0 : 1);
  } else {
    StoreLe32(fields.subspan<8, 4>(), 1);
  }
  return block;
}

void CommandVocabulary::AddObject(uint32_t number, SimObject object) {
  objects_[number] = std::move(object);
}

void CommandVocabulary::SetBlob(uint8_t kind, std::vector<uint8_t> bytes) {
  blobs_[kind] = std::move(bytes);
}

void CommandVocabulary::SetEntryBlob(uint8_t kind, uint32_t entry, std::vector<uint8_t> bytes) {
  entry_blobs_[{kind, entry}] = std::move(bytes);
}

std::optional<std::vector<uint8_t>> CommandVocabulary::LastWrite(uint8_t kind) const {
  const auto found = writes_.find(kind);
  if (found == writes_.end()) return std::nullopt;
  return found->second;
}

}  // namespace pelox::sim
