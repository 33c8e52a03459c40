#pragma once
// A short English text for each step error code, saying what the failed
// step found; the dialog itself shows the string table's message instead.
#include <cstdint>
#include <string_view>

namespace pelox {

// The text of a step error code (STEP_OK, STEP_ERROR_*); "unknown step
// error" for any other value.
std::string_view StepErrorText(int32_t code);

}  // namespace pelox
