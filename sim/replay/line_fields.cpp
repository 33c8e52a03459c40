#include "sim/replay/line_fields.h"

namespace pelox::sim {

bool LineFields::Text(std::string_view name, Presence presence, std::string& out) {
  const nlohmann::json* field = Find(name, presence);
  if (field == nullptr) return wrong_.empty();
  if (!field->is_string()) return Refuse(name, "is not text");
  out = field->get<std::string>();
  return true;
}

bool LineFields::Number(std::string_view name, Presence presence) {
  const nlohmann::json* field = Find(name, presence);
  if (field == nullptr) return wrong_.empty();
  return field->is_number() || Refuse(name, "is not a number");
}

std::optional<LineFields> LineFields::Object(std::string_view name, Presence presence) {
  const nlohmann::json* field = Find(name, presence);
  if (field == nullptr) return std::nullopt;
  if (!field->is_object()) {
    Refuse(name, "is not an object");
    return std::nullopt;
  }
  return LineFields(*field, wrong_, prefix_ + std::string(name) + ".");
}

const nlohmann::json* LineFields::Find(std::string_view name, Presence presence) {
  const auto field = object_.find(name);
  if (field != object_.end()) return &*field;
  if (presence == Presence::REQUIRED) Refuse(name, "is missing");
  return nullptr;
}

bool LineFields::Refuse(std::string_view name, std::string_view what) {
  if (wrong_.empty()) wrong_ = "`" + prefix_ + std::string(name) + "` " + std::string(what);
  return false;
}

}  // namespace pelox::sim
