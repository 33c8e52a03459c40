#pragma once
// A recording line's fields read by type: a field of the wrong JSON type,
// out of range or missing when required is named in `wrong` instead of
// throwing, so that no line of a recording can end the reader.
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace pelox::sim {

enum class Presence { REQUIRED, OPTIONAL };

class LineFields {
 public:
  // `prefix` names a nested object's fields after its parent: "image.at".
  LineFields(const nlohmann::json& object, std::string& wrong, std::string prefix = {})
      : object_(object), wrong_(wrong), prefix_(std::move(prefix)) {}

  // Each leaves `out` as it was when an optional field is missing, and
  // returns false only when something is wrong.
  bool Text(std::string_view name, Presence presence, std::string& out);
  bool Number(std::string_view name, Presence presence);
  template <typename Whole>
  bool Count(std::string_view name, Presence presence, Whole& out);
  // Nothing when the object is missing or wrong; Wrong() tells which.
  std::optional<LineFields> Object(std::string_view name, Presence presence);

 private:
  // The field, or nothing when it is missing (wrong when it is required).
  const nlohmann::json* Find(std::string_view name, Presence presence);
  bool Refuse(std::string_view name, std::string_view what);

  const nlohmann::json& object_;
  std::string& wrong_;
  std::string prefix_;
};

template <typename Whole>
bool LineFields::Count(std::string_view name, Presence presence, Whole& out) {
  const nlohmann::json* field = Find(name, presence);
  if (field == nullptr) return wrong_.empty();
  const bool fits = field->is_number_unsigned()
                        ? std::in_range<Whole>(field->get<uint64_t>())
                        : field->is_number_integer() && std::in_range<Whole>(field->get<int64_t>());
  if (!fits) {
    return Refuse(name, "is not a whole number from " +
                            std::to_string(std::numeric_limits<Whole>::min()) + " to " +
                            std::to_string(std::numeric_limits<Whole>::max()));
  }
  out = field->is_number_unsigned() ? static_cast<Whole>(field->get<uint64_t>())
                                    : static_cast<Whole>(field->get<int64_t>());
  return true;
}

}  // namespace pelox::sim
