#pragma once
// The waits of the upload's workers, apart from the dialog so that each can
// be run and timed on its own.
#include <atomic>
#include <cstdint>
#include <functional>

#include "app/dialog_view.h"
#include "link/camera_link.h"

namespace pelox {

inline constexpr uint32_t UPLOAD_POLL_MS = 500;
// The camera's write may keep it busy this long, counted from the write
// command.
inline constexpr uint32_t CAMERA_WRITE_WAIT_MS = 60000;
// The wait runs one full poll past that limit, so that a camera ready at
// its limit is heard: the poll's pause, a look at the end of the write, and
// a request with a second to read its reply (the storage pipe's least).
inline constexpr uint32_t FULL_POLL_MS = 2000;

// The camera keeps its old firmware until the write command, so a transfer
// that has not moved for this long ends, whatever its retries would do.
inline constexpr uint32_t TRANSFER_STALL_MS = 60000;
inline constexpr const char* TRANSFER_STALL_DETAIL = "no data frame acknowledged for 60 s";

// What a look at the camera writing its firmware found.
enum class FlashLook : uint8_t {
  WRITING,  // not ready yet, or not heard
  READY,    // idle and ready by its own word
  FAILED,   // the camera said the write failed
};

// What the camera itself said of the write command, in order: the proof of
// a write that its state before the command cannot give.
struct WriteWitness {
  bool acknowledged = false;  // it took the command with its ACK
  bool end_heard = false;     // it ended its busy time with its end byte
};

// The camera's own confirmation: ACK, end byte, then ready, with no
// reconnection since the command (`link_lost`).
bool CameraConfirmedTheWrite(const WriteWitness& witness, bool link_lost);

// One look at the camera after the write command: FAILED when it ended the
// write with its error byte, READY when it is idle and reports itself
// ready. Notes the end byte in `witness` when it hears it.
FlashLook LookAtWritingCamera(WriteWitness& witness, CameraLink* link);

// Looks every 500 ms until `look` gives READY or FAILED, which it returns,
// or until the tick `deadline_ms` or a stop request (WRITING). No pause runs
// past the deadline; the look itself must end by it too.
FlashLook WaitForCameraReady(const std::function<FlashLook()>& look, uint32_t deadline_ms,
                             const std::atomic<bool>& stop);

// Alternates the bar between empty and full every 500 ms until stopped.
void AnimateProgress(DialogView& view, std::atomic<int32_t>& position,
                     const std::atomic<bool>& stop);

}  // namespace pelox
