#include "sim/camera/camera_model.h"

#include <algorithm>

#include "sim/camera/camera_ranges.h"

namespace pelox::sim {
namespace {

// Texts the camera reads out are zero-terminated and at most this long.
constexpr size_t MAX_TEXT_BLOCK = 32;

std::vector<uint8_t> TextBlock(const std::string& text) {
  std::vector<uint8_t> block(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                              text.size(), MAX_TEXT_BLOCK - 1)));
  block.push_back(0);
  return block;
}

}  // namespace

CameraModel::CameraModel(CameraConfig config)
    : config_(std::move(config)),
      firmware_version_(config_.firmware_version),
      firmware_(config_.accepted_upload_key, config_.flash_busy_ms) {
  RegisterContract();
}

void CameraModel::RegisterContract() {
  RegisterProperty(PROPERTY_BATTERY, config_.battery_level);
  RegisterProperty(PROPERTY_UPLOAD_KEY, 0);
  RegisterProperty(
      PROPERTY_READY, 1,
      {.compute = [this](uint64_t now_ms) { return Busy(now_ms) || NeverReady() ? 0u : 1u; },
       .on_set = [](uint32_t, uint64_t) { return false; }});
  RegisterReadableKind(KIND_MAKER, [this](uint64_t) { return TextBlock(config_.maker); });
  RegisterReadableKind(KIND_FIRMWARE_VERSION,
                       [this](uint64_t) { return TextBlock(firmware_version_); });
}

void CameraModel::RegisterProperty(uint8_t id, uint32_t initial, PropertyHooks hooks) {
  properties_[id] = Property{initial, std::move(hooks)};
}

void CameraModel::RegisterReadableKind(uint8_t kind, KindProvider provider) {
  readable_[kind] = std::move(provider);
}

void CameraModel::RegisterWritableKind(uint8_t kind, KindConsumer consumer) {
  writable_[kind] = std::move(consumer);
}

void CameraModel::RegisterAction(uint8_t code, ActionHandler handler) {
  actions_[code] = std::move(handler);
}

void CameraModel::Settle(uint64_t now_ms) {
  if (!busy_ || NeverReady() || now_ms < busy_until_ms_) return;
  busy_ = false;
  if (version_after_busy_) {
    firmware_version_ = *version_after_busy_;
    firmware_.NoteFlashed(firmware_version_);
    version_after_busy_.reset();
  }
}

bool CameraModel::Busy(uint64_t now_ms) {
  Settle(now_ms);
  return busy_;
}

std::optional<uint32_t> CameraModel::GetProperty(uint8_t id, uint64_t now_ms) {
  // A busy camera answers nothing but its readiness.
  if (Busy(now_ms) && id != PROPERTY_READY) return std::nullopt;
  const auto found = properties_.find(id);
  if (found == properties_.end()) return std::nullopt;
  const Property& property = found->second;
  return property.hooks.compute ? property.hooks.compute(now_ms) : property.value;
}

bool CameraModel::SetProperty(uint8_t id, uint32_t value, uint64_t now_ms) {
  if (Busy(now_ms)) return false;
  const auto found = properties_.find(id);
  if (found == properties_.end() || !CameraAcceptsValue(id, value)) return false;
  Property& property = found->second;
  if (property.hooks.on_set && !property.hooks.on_set(value, now_ms)) return false;
  property.value = value;
  return true;
}

std::optional<std::vector<uint8_t>> CameraModel::ReadKind(uint8_t kind, uint64_t now_ms) {
  if (Busy(now_ms)) return std::nullopt;
  const auto found = readable_.find(kind);
  if (found == readable_.end()) return std::nullopt;
  return found->second(now_ms);
}

bool CameraModel::BeginWrite(uint8_t kind, uint64_t now_ms) {
  if (Busy(now_ms)) return false;
  if (writing_) EndWrite(false, now_ms);
  if (kind == KIND_FIRMWARE) {
    firmware_.BeginTransfer(properties_[PROPERTY_UPLOAD_KEY].value);
  } else if (!writable_.contains(kind)) {
    return false;
  }
  writing_ = PendingWrite{kind, {}};
  return true;
}

bool CameraModel::AppendWrite(std::span<const uint8_t> data) {
  if (!writing_) return false;
  const size_t received =
      writing_->kind == KIND_FIRMWARE ? firmware_.Image().size() : writing_->data.size();
  if (data.size() > MAX_WRITE_SIZE - received) return false;
  if (writing_->kind == KIND_FIRMWARE) {
    firmware_.Append(data);
  } else {
    writing_->data.insert(writing_->data.end(), data.begin(), data.end());
  }
  return true;
}

bool CameraModel::EndWrite(bool complete, uint64_t now_ms) {
  if (!writing_) return false;
  const PendingWrite ended = std::move(*writing_);
  writing_.reset();
  if (ended.kind == KIND_FIRMWARE) {
    firmware_.EndTransfer(complete);
    return true;
  }
  return complete && writable_[ended.kind](ended.data, now_ms);
}

std::optional<uint32_t> CameraModel::StartFlash() {
  std::string version;
  if (!firmware_.Flash(version)) return std::nullopt;
  version_after_busy_ = std::move(version);
  return firmware_.BusyMs();
}

void CameraModel::FailAction() {
  if (version_after_busy_) firmware_.NoteNotWritten("the write ended in an error");
  version_after_busy_.reset();
}

std::optional<uint32_t> CameraModel::RunAction(uint8_t code, uint8_t argument, uint64_t now_ms) {
  if (Busy(now_ms)) return std::nullopt;
  std::optional<uint32_t> busy_ms;
  if (code == ACTION_WRITE_FIRMWARE) {
    busy_ms = StartFlash();
  } else if (const auto found = actions_.find(code); found != actions_.end()) {
    busy_ms = found->second(argument, now_ms);
  }
  if (!busy_ms) return std::nullopt;
  busy_ = true;
  busy_until_ms_ = now_ms + *busy_ms;
  return busy_ms;
}

void CameraModel::LoseRunningAction(uint64_t now_ms) {
  if (!Busy(now_ms)) return;
  busy_ = false;
  version_after_busy_.reset();
}

}  // namespace pelox::sim
