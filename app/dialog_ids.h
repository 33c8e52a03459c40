#pragma once
// Identifiers of the Main dialog: its controls, the steps of its chain and
// the step error codes (Windows system error codes) that choose a message.
#include <cstdint>

namespace pelox {

inline constexpr int32_t DIALOG_TEMPLATE_MAIN = 1000;
inline constexpr int32_t ICON_MAIN = 128;

// Controls.
inline constexpr int32_t CONTROL_UPLOAD = 1;  // IDOK
inline constexpr int32_t CONTROL_CLOSE = 2;   // IDCANCEL
inline constexpr int32_t CONTROL_PROGRESS = 4096;
inline constexpr int32_t CONTROL_MESSAGE = 4097;

// Steps, posted to the dialog as command ids.
inline constexpr int32_t STEP_CONNECT = 1000;
inline constexpr int32_t STEP_OPEN_FIRMWARE = 1001;
inline constexpr int32_t STEP_CHECK_FIRMWARE = 1002;
inline constexpr int32_t STEP_CHECK_CAMERA = 1003;
inline constexpr int32_t STEP_START_TRANSFER = 1004;
inline constexpr int32_t STEP_TRANSFER_DONE = 1005;
inline constexpr int32_t STEP_WRITE_FINISHED = 1006;
inline constexpr int32_t STEP_WRITE_FAILED = 1007;

// Step error codes, named after the Windows system errors they are.
inline constexpr int32_t STEP_OK = 0;
inline constexpr int32_t STEP_ERROR_FILE_NOT_FOUND = 2;
inline constexpr int32_t STEP_ERROR_ACCESS_DENIED = 5;
inline constexpr int32_t STEP_ERROR_INVALID_HANDLE = 6;
inline constexpr int32_t STEP_ERROR_INVALID_ACCESS = 12;
inline constexpr int32_t STEP_ERROR_INVALID_DATA = 13;
inline constexpr int32_t STEP_ERROR_NOT_READY = 21;
inline constexpr int32_t STEP_ERROR_INVALID_PARAMETER = 87;
inline constexpr int32_t STEP_ERROR_CANTOPEN = 1011;
inline constexpr int32_t STEP_ERROR_CANTWRITE = 1013;
inline constexpr int32_t STEP_ERROR_IO_DEVICE = 1117;

// Progress bar positions.
inline constexpr int32_t PROGRESS_EMPTY = 0;
inline constexpr int32_t PROGRESS_FULL = 100;

}  // namespace pelox
