#pragma once
// The waits of the upload's workers, apart from the dialog so that each can
// be run and timed on its own.
#include <atomic>
#include <cstdint>
#include <functional>

#include "app/dialog_view.h"

namespace pelox {

inline constexpr uint32_t UPLOAD_POLL_MS = 500;
// The camera's write may keep it busy this long, counted from the write
// command.
inline constexpr uint32_t CAMERA_WRITE_WAIT_MS = 60000;

// The camera keeps its old firmware until the write command, so a transfer
// that has not moved for this long ends, whatever its retries would do.
inline constexpr uint32_t TRANSFER_STALL_MS = 60000;
inline constexpr const char* TRANSFER_STALL_DETAIL = "no data frame acknowledged for 60 s";

// Polls `camera_ready` every 500 ms until it is true (true), or until the
// tick `deadline_ms` or a stop request (false). No pause runs past the
// deadline; the poll itself must end by it too.
bool WaitForCameraReady(const std::function<bool()>& camera_ready, uint32_t deadline_ms,
                        const std::atomic<bool>& stop);

// Alternates the bar between empty and full every 500 ms until stopped.
void AnimateProgress(DialogView& view, std::atomic<int32_t>& position,
                     const std::atomic<bool>& stop);

}  // namespace pelox
