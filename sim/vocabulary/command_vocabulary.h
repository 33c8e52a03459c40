#pragma once
// The command set's vocabulary in the virtual camera: every property of the
// command set (stored, range-checked), the clock, objects with data,
// secondary data and sound, entries selected by properties 56 and 83, the
// usage table, per-kind blobs for the record reads and the actions. It adds
// itself to a camera model and must outlive the model's use.
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "sim/camera/camera_model.h"

namespace pelox::sim {

inline constexpr uint8_t PROPERTY_CLOCK = 2;
inline constexpr uint8_t PROPERTY_OBJECT_NUMBER = 4;
inline constexpr uint8_t PROPERTY_OBJECT_SIZE = 12;
inline constexpr uint8_t PROPERTY_SECONDARY_SIZE = 13;
inline constexpr uint8_t PROPERTY_OBJECT_39 = 39;
inline constexpr uint8_t PROPERTY_ENTRY = 56;
inline constexpr uint8_t PROPERTY_TEXT_ENTRY = 83;
inline constexpr uint8_t KIND_OBJECT = 14;
inline constexpr uint8_t KIND_SECONDARY = 15;
inline constexpr uint8_t KIND_SOUND_INFORMATION = 43;
inline constexpr uint8_t KIND_SOUND = 44;
inline constexpr uint8_t KIND_USAGE_TABLE = 123;
inline constexpr size_t USAGE_TABLE_BYTES = 1032;

struct SimSound {
  uint32_t decoded_size = 0;
  std::vector<uint8_t> data;  // what the camera transfers: header and sound
  bool compressed = false;
  // A transfer size the sound information states instead of the data's.
  std::optional<uint32_t> stated_transfer_size;
};

struct SimObject {
  std::vector<uint8_t> data;
  std::vector<uint8_t> secondary;
  std::optional<SimSound> sound;
  uint32_t property_39 = 0;
  // Blobs of the kinds read after selecting the object (47, 74, 79, 92).
  std::map<uint8_t, std::vector<uint8_t>> blobs;
};

// An action as the camera saw it.
struct SimAction {
  uint8_t code;
  uint8_t argument;
};

class CommandVocabulary {
 public:
  explicit CommandVocabulary(CameraModel& model);
  CommandVocabulary(const CommandVocabulary&) = delete;
  CommandVocabulary& operator=(const CommandVocabulary&) = delete;

  void AddObject(uint32_t number, SimObject object);
  // The bytes a read of the kind answers with.
  void SetBlob(uint8_t kind, std::vector<uint8_t> bytes);
  // The bytes a read of the kind answers with while the entry is selected
  // (property 56 for kind 57, property 83 for kinds 84 and 91).
  void SetEntryBlob(uint8_t kind, uint32_t entry, std::vector<uint8_t> bytes);
  // Clock seconds at the model's time 0; the clock runs with the model's time.
  void SetClockBase(uint32_t seconds) { clock_base_seconds_ = seconds; }
  void SetActionBusyMs(uint32_t busy_ms) { action_busy_ms_ = busy_ms; }

  // What the host wrote to a kind last, and the actions it ran, in order.
  std::optional<std::vector<uint8_t>> LastWrite(uint8_t kind) const;
  const std::vector<SimAction>& Actions() const { return actions_; }

 private:
  void RegisterProperties();
  void RegisterSelections();
  void RegisterKinds();
  void RegisterActions();
  const SimObject* Selected() const;
  std::optional<std::vector<uint8_t>> SoundInformation() const;

  CameraModel& model_;
  std::map<uint32_t, SimObject> objects_;
  std::map<uint8_t, std::vector<uint8_t>> blobs_;
  std::map<std::pair<uint8_t, uint32_t>, std::vector<uint8_t>> entry_blobs_;
  std::map<uint8_t, std::vector<uint8_t>> writes_;
  std::vector<SimAction> actions_;
  uint32_t selected_object_ = 0;
  uint32_t entry_ = 0;
  uint32_t text_entry_ = 0;
  uint32_t clock_base_seconds_ = 0;
  uint32_t action_busy_ms_ = 100;
};

}  // namespace pelox::sim
