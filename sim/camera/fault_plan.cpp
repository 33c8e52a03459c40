#include "sim/camera/fault_plan.h"

#include <array>
#include <charconv>
#include <utility>

namespace pelox::sim {
namespace {

constexpr uint32_t PER_MILLE = 1000;
constexpr uint32_t RANDOM_DELAY_MS = 100;

// splitmix64: the same faults for the same seed on every platform.
uint64_t NextRandom(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

bool Matches(const FaultRule& rule, FaultTarget target, int32_t id) {
  return (rule.target == FaultTarget::ANY || rule.target == target) &&
         (rule.id < 0 || rule.id == id);
}

constexpr std::array<std::pair<std::string_view, FaultKind>, 19> KIND_NAMES = {{
    {"nak", FaultKind::NAK},
    {"refuse", FaultKind::REFUSE},
    {"garbage", FaultKind::GARBAGE},
    {"drop", FaultKind::DROP_REPLY},
    {"partial", FaultKind::PARTIAL_REPLY},
    {"checksum", FaultKind::WRONG_CHECKSUM},
    {"sequence", FaultKind::WRONG_SEQUENCE},
    {"gone", FaultKind::CAMERA_GONE},
    {"port-failure", FaultKind::PORT_FAILURE},
    {"never-ready", FaultKind::NEVER_READY},
    {"unplug", FaultKind::UNPLUG},
    {"delay", FaultKind::DELAY},
    {"acks", FaultKind::STRAY_ACKS},
    {"nak-ack", FaultKind::NAK_ACK},
    {"swap", FaultKind::SWAP},
    {"end-error", FaultKind::END_ERROR},
    {"mute", FaultKind::MUTE},
    {"scsi-refusal", FaultKind::SCSI_REFUSAL},
    {"rewrite", FaultKind::REWRITE},
}};

constexpr std::array<std::pair<std::string_view, FaultTarget>, 10> TARGET_NAMES = {{
    {"any", FaultTarget::ANY},
    {"probe", FaultTarget::PROBE},
    {"speed", FaultTarget::SPEED},
    {"set", FaultTarget::SET},
    {"get", FaultTarget::GET},
    {"action", FaultTarget::ACTION},
    {"read", FaultTarget::READ},
    {"write-frame", FaultTarget::WRITE_FRAME},
    {"read-frame", FaultTarget::READ_FRAME},
    {"ack", FaultTarget::ACK},
}};

template <typename T, size_t N>
std::optional<T> Lookup(const std::array<std::pair<std::string_view, T>, N>& names,
                        std::string_view name) {
  for (const auto& [text, value] : names) {
    if (text == name) return value;
  }
  return std::nullopt;
}

template <typename T>
bool Number(std::string_view text, T& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size();
}

// Splits `text` at the first of `marker`, leaving the head in `text`.
std::optional<std::string_view> TakeSuffix(std::string_view& text, char marker) {
  const size_t at = text.find(marker);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view suffix = text.substr(at + 1);
  text = text.substr(0, at);
  return suffix;
}

}  // namespace

void FaultPlan::Add(const FaultRule& rule) { rules_.push_back(Scripted{rule, 0}); }

void FaultPlan::SetRandom(uint64_t seed, uint32_t per_mille) {
  random_state_ = seed;
  per_mille_ = per_mille;
}

void FaultPlan::Clear() {
  rules_.clear();
  per_mille_ = 0;
}

std::optional<FaultRule> FaultPlan::Next(FaultTarget target, int32_t id) {
  std::optional<FaultRule> fired;
  for (Scripted& scripted : rules_) {
    if (!Matches(scripted.rule, target, id)) continue;
    ++scripted.seen;
    const FaultRule& rule = scripted.rule;
    const bool due =
        scripted.seen >= rule.occurrence && scripted.seen - rule.occurrence < rule.times;
    if (due && !fired) fired = rule;
  }
  if (!fired) fired = Draw(target);
  return fired;
}

std::optional<FaultRule> FaultPlan::Draw(FaultTarget target) {
  if (per_mille_ == 0 || NextRandom(random_state_) % PER_MILLE >= per_mille_) return std::nullopt;
  // Only faults the host can recover from; packet faults where the camera
  // answers with a packet, control-byte faults where it answers with a byte.
  static constexpr std::array PACKET_FAULTS = {FaultKind::DROP_REPLY, FaultKind::PARTIAL_REPLY,
                                               FaultKind::WRONG_CHECKSUM, FaultKind::WRONG_SEQUENCE,
                                               FaultKind::DELAY};
  static constexpr std::array CONTROL_FAULTS = {FaultKind::NAK, FaultKind::DROP_REPLY,
                                                FaultKind::DELAY};
  const bool packet_reply = target == FaultTarget::GET || target == FaultTarget::READ_FRAME;
  const uint64_t pick = NextRandom(random_state_);
  FaultRule rule;
  rule.target = target;
  rule.kind = packet_reply ? PACKET_FAULTS[static_cast<size_t>(pick % PACKET_FAULTS.size())]
                           : CONTROL_FAULTS[static_cast<size_t>(pick % CONTROL_FAULTS.size())];
  rule.argument_ms = RANDOM_DELAY_MS;
  return rule;
}

std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string& error) {
  FaultRule rule;
  std::string_view rest = text;
  const auto times = TakeSuffix(rest, '*');
  const auto occurrence = TakeSuffix(rest, '#');
  const auto target = TakeSuffix(rest, '@');
  const auto argument = TakeSuffix(rest, '=');
  const auto kind = Lookup(KIND_NAMES, rest);
  if (!kind) {
    error = "unknown fault kind '" + std::string(rest) + "'";
    return std::nullopt;
  }
  rule.kind = *kind;
  if (argument && !Number(*argument, rule.argument_ms)) {
    error = "bad milliseconds '" + std::string(*argument) + "'";
    return std::nullopt;
  }
  if (target) {
    std::string_view name = *target;
    const auto id = TakeSuffix(name, ':');
    const auto found = Lookup(TARGET_NAMES, name);
    if (!found) {
      error = "unknown fault target '" + std::string(name) + "'";
      return std::nullopt;
    }
    rule.target = *found;
    if (id && !Number(*id, rule.id)) {
      error = "bad id '" + std::string(*id) + "'";
      return std::nullopt;
    }
  }
  if (occurrence && (!Number(*occurrence, rule.occurrence) || rule.occurrence == 0)) {
    error = "bad occurrence '" + std::string(*occurrence) + "'";
    return std::nullopt;
  }
  if (times && (!Number(*times, rule.times) || rule.times == 0)) {
    error = "bad count '" + std::string(*times) + "'";
    return std::nullopt;
  }
  return rule;
}

}  // namespace pelox::sim
