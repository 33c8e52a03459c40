#include "app/step_error_text.h"

#include "app/dialog_ids.h"

namespace pelox {

std::string_view StepErrorText(int32_t code) {
  switch (code) {
    case STEP_OK: return "success";
    case STEP_ERROR_FILE_NOT_FOUND: return "firmware file missing or unreadable";
    case STEP_ERROR_ACCESS_DENIED: return "no current directory";
    case STEP_ERROR_INVALID_HANDLE: return "no camera link";
    case STEP_ERROR_INVALID_ACCESS: return "line speed refused";
    case STEP_ERROR_INVALID_DATA: return "firmware not for this camera or not newer";
    case STEP_ERROR_NOT_READY: return "camera not connected";
    case STEP_ERROR_INVALID_PARAMETER: return "firmware image invalid";
    case STEP_ERROR_CANTOPEN: return "firmware file cannot be mapped";
    case STEP_ERROR_CANTWRITE: return "battery low";
    case STEP_ERROR_IO_DEVICE: return "camera not recognised";
    default: return "unknown step error";
  }
}

}  // namespace pelox
