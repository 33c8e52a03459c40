#pragma once
// The camera's inner working, free of any wire format: properties checked
// against the value ranges, data kinds as blobs, actions with busy times,
// and the firmware store. Time is passed in (milliseconds, virtual or real).
// The command vocabulary adds its properties, kinds and actions through the
// Register functions.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/camera/firmware_store.h"

namespace pelox::sim {

inline constexpr uint8_t PROPERTY_BATTERY = 16;
inline constexpr uint8_t PROPERTY_READY = 18;
inline constexpr uint8_t PROPERTY_UPLOAD_KEY = 32;
inline constexpr uint8_t KIND_FIRMWARE_VERSION = 26;
inline constexpr uint8_t KIND_FIRMWARE = 29;
inline constexpr uint8_t KIND_MAKER = 48;
inline constexpr uint8_t ACTION_WRITE_FIRMWARE = 11;
inline constexpr uint32_t FIRMWARE_UPLOAD_KEY = 0x05A3C7D1;
// The largest write the camera takes in one transfer.
inline constexpr size_t MAX_WRITE_SIZE = 16u * 1024 * 1024;

struct CameraConfig {
  std::string maker = "PELOX CO.,LTD.";
  std::string firmware_version = "v517-1.00";
  uint32_t battery_level = 100;
  uint32_t flash_busy_ms = 5000;  // capped at MAX_FLASH_BUSY_MS
  uint32_t accepted_upload_key = FIRMWARE_UPLOAD_KEY;
  bool never_ready = false;  // property 18 stays 0 and no action ends
};

struct PropertyHooks {
  // A computed property answers with this instead of its stored value.
  std::function<uint32_t(uint64_t now_ms)> compute;
  // Reacts to an in-range set; false refuses it.
  std::function<bool(uint32_t value, uint64_t now_ms)> on_set;
};

// The bytes of a readable kind; nothing refuses the read.
using KindProvider = std::function<std::optional<std::vector<uint8_t>>(uint64_t now_ms)>;
// Takes a whole written transfer; false refuses it.
using KindConsumer = std::function<bool(std::span<const uint8_t> data, uint64_t now_ms)>;
// Runs an action; its busy time in milliseconds, or nothing to refuse it.
using ActionHandler = std::function<std::optional<uint32_t>(uint8_t argument, uint64_t now_ms)>;

class CameraModel {
 public:
  explicit CameraModel(CameraConfig config = {});

  // Extension points. A later registration of the same id replaces the
  // earlier one.
  void RegisterProperty(uint8_t id, uint32_t initial, PropertyHooks hooks = {});
  void RegisterReadableKind(uint8_t kind, KindProvider provider);
  void RegisterWritableKind(uint8_t kind, KindConsumer consumer);
  void RegisterAction(uint8_t code, ActionHandler handler);

  // Operations as the camera carries them out; nothing means refused.
  std::optional<uint32_t> GetProperty(uint8_t id, uint64_t now_ms);
  bool SetProperty(uint8_t id, uint32_t value, uint64_t now_ms);
  std::optional<std::vector<uint8_t>> ReadKind(uint8_t kind, uint64_t now_ms);
  bool BeginWrite(uint8_t kind, uint64_t now_ms);
  bool AppendWrite(std::span<const uint8_t> data);
  // The transfer ended: `complete` when its last frame arrived.
  bool EndWrite(bool complete, uint64_t now_ms);
  bool WriteInProgress() const { return writing_.has_value(); }
  std::optional<uint32_t> RunAction(uint8_t code, uint8_t argument, uint64_t now_ms);
  // Power lost: an action still running at `now_ms` ends unfinished, so a
  // flash under way writes nothing and the old firmware stays.
  void LoseRunningAction(uint64_t now_ms);
  // The running action will end in an error: a firmware write writes nothing.
  void FailAction();

  bool Busy(uint64_t now_ms);
  // When the running action ends; meaningful while Busy.
  uint64_t BusyUntilMs() const { return busy_until_ms_; }
  bool NeverReady() const { return config_.never_ready; }
  void SetNeverReady() { config_.never_ready = true; }

  const CameraConfig& Config() const { return config_; }
  const std::string& FirmwareVersion() const { return firmware_version_; }
  const FirmwareStore& Firmware() const { return firmware_; }

 private:
  struct Property {
    uint32_t value = 0;
    PropertyHooks hooks;
  };
  struct PendingWrite {
    uint8_t kind = 0;
    std::vector<uint8_t> data;
  };

  void RegisterContract();
  // Applies what a finished action leaves behind.
  void Settle(uint64_t now_ms);
  std::optional<uint32_t> StartFlash();

  CameraConfig config_;
  std::string firmware_version_;
  std::map<uint8_t, Property> properties_;
  std::map<uint8_t, KindProvider> readable_;
  std::map<uint8_t, KindConsumer> writable_;
  std::map<uint8_t, ActionHandler> actions_;
  std::optional<PendingWrite> writing_;
  FirmwareStore firmware_;
  uint64_t busy_until_ms_ = 0;
  bool busy_ = false;
  std::optional<std::string> version_after_busy_;
};

}  // namespace pelox::sim
