#pragma once
/// @file
/// The camera link: one connection with the camera, the codes every layer
/// reports, and the link and engine operations. A program holds a link by
/// its pointer only; what it needs of the link's state it reads through the
/// functions below.
///
/// Arguments, in every layer: what the call acts on first (property, data
/// kind, action, port), then the values it sends, then what it fills (a
/// destination or an out-parameter), then its options, and the link last.
/// The camera's reads keep the order of its command table: CameraReadObject,
/// CameraReadSecondary, CameraReadSound, CameraRead79 and CameraRead84 take
/// the buffer before the object or entry; CameraRead47, CameraRead57,
/// CameraRead74, CameraRead91 and CameraRead92 take the object or entry first.
///
/// Results: a LinkError code, recorded in the link (LinkLastError). A query
/// gives its value through an out-parameter (the ...Checked forms); the
/// older forms that return the value or -1 stay, deprecated where a value
/// can read as a failure.
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "link/link_events.h"
#include "platform/devices.h"
#include "platform/export.h"
#include "transport/port/port_types.h"

PELOX_API_BEGIN
namespace pelox {

/// LinkOpenPort's port that searches the storage pipe, then COM1 and COM2,
/// and its result when no camera answered.
inline constexpr int32_t LINK_PORT_AUTOMATIC = 0;
inline constexpr int32_t LINK_PORT_NOT_FOUND = PORT_TYPE_NONE;

/// LinkConnect's modes.
enum LinkConnectMode : int32_t { LINK_DISCONNECT = 0, LINK_CONNECT = 1 };
/// A serial connection gives up this long after its handshake, the retries
/// of its exchanges included.
inline constexpr uint32_t LINK_CONNECT_LIMIT_MS = 20000;

/// The property LinkPollBusy and LinkCheckAlive read.
inline constexpr uint8_t PROPERTY_READY = 18;

/// Link states.
enum LinkState : int32_t {
  LINK_STATE_CLOSED = 0,
  LINK_STATE_READY = 1,
  LINK_STATE_CAMERA_GONE = 2,
  LINK_STATE_BROKEN = 3,
  LINK_STATE_BUSY = 4,
  LINK_STATE_IN_TRANSACTION = 6,
};

/// Link error codes; an abortable engine returns LINK_RESTART when the link
/// was re-established meanwhile. Each code space has a type of its own; the
/// checked forms return it, the older operations an int32_t holding it.
enum LinkError : int32_t {
  LINK_OK = 0,
  LINK_ERROR_COMMAND = 1,
  LINK_ERROR_INVALID_ARGUMENT = 2,
  LINK_ERROR_NO_PORT = 3,
  LINK_ERROR_FILE_WRITE = 5,
  LINK_ERROR_PORT_OPEN_CLOSE = 7,
  LINK_ERROR_SEND = 8,
  LINK_ERROR_NO_REPLY = 10,
  LINK_ERROR_SERIAL_CONNECT = 11,
  LINK_ERROR_NO_ANSWER = 12,
  LINK_ERROR_UNEXPECTED = 13,
  LINK_ERROR_NAK = 14,
  LINK_ERROR_CAMERA_ERROR = 15,
  LINK_ERROR_MALFORMED = 16,
  LINK_ERROR_EMPTY_OBJECT = 18,
  LINK_ERROR_CANCELLED = 19,
  LINK_ERROR_CAMERA_GONE = 20,
  LINK_ERROR_TRANSPORT = 21,
  LINK_ERROR_NO_LINK = 22,
  LINK_ERROR_STOPPED = 23,
  LINK_ERROR_STORAGE_NOT_INITIALISED = 24,
  LINK_ERROR_INTERNAL = 255,
  LINK_RESTART = -2,
};

struct CameraLink;

/// Called with (user value, 0, percent); 0 cancels the transfer. The user
/// value is the caller's pointer, handed back as given.
using ProgressCallback = int32_t (*)(void* user, int32_t reserved, int32_t percent);
/// Called with (user, link) after a reconnection; LINK_OK accepts the camera
/// that answers now.
using ReconnectCheck = int32_t (*)(void* user, CameraLink* link);

/// Connection (creation, ports, states and errors).
/// Returns a new listed link, or null when memory or the storage pipe's
/// request resources cannot be had.
CameraLink* LinkCreate();
/// Closes the open ports and frees every listed link; returns LINK_OK. It
/// does not disconnect: a serial camera stays at the link's speed, where the
/// next search finds it only after its rounds at the opening speed.
int32_t LinkDestroyAll();
/// Closes the port the link holds (without disconnecting, as LinkDestroyAll)
/// and frees the link; returns LINK_OK (also for null).
int32_t LinkDelete(CameraLink* link);
/// Returns LINK_OK, LINK_ERROR_NO_LINK, or LINK_ERROR_INVALID_ARGUMENT for an
/// index outside the speed table (the speed then falls back to index 0).
int32_t LinkSetSpeed(int32_t speed_index, CameraLink* link);
/// Finds the port a camera answers on and leaves it closed: a searched port
/// counts once the camera answered a get there, and a storage device that
/// does not is passed over. Returns the port type, LINK_PORT_NOT_FOUND
/// (recording LINK_ERROR_INVALID_ARGUMENT for an unknown port,
/// LINK_ERROR_NO_PORT when no camera answered,
/// LINK_ERROR_STORAGE_NOT_INITIALISED when the storage pipe was to be searched
/// before StorageTransportInit and no serial camera answered either,
/// LINK_ERROR_STOPPED when the stop flag ended the search), LINK_ERROR_NO_LINK, or
/// LINK_ERROR_INTERNAL for a link that is not closed.
int32_t LinkOpenPort(int32_t port, CameraLink* link);
/// LinkOpenPort with its code apart from the port found: LINK_OK with
/// `port_type` set, or the code LinkOpenPort records (LINK_ERROR_NO_PORT,
/// LINK_ERROR_INVALID_ARGUMENT, LINK_ERROR_STOPPED, LINK_ERROR_NO_LINK) or returns
/// (LINK_ERROR_INTERNAL); `port_type` is left as it was then.
int32_t LinkOpenPortChecked(int32_t port, int32_t& port_type, CameraLink* link);
/// Returns LINK_OK, LINK_ERROR_NO_LINK, LINK_ERROR_INVALID_ARGUMENT for an
/// unknown mode, LINK_ERROR_NO_PORT before LinkOpenPort found one,
/// LINK_ERROR_PORT_OPEN_CLOSE, LINK_ERROR_SERIAL_CONNECT, LINK_ERROR_NO_ANSWER
/// when the handshake failed, LINK_ERROR_STOPPED when the stop flag ended it,
/// or the failing code of the speed exchange.
int32_t LinkConnect(int32_t mode, CameraLink* link);
/// Disconnects, finds the port again and connects at the same speed, then
/// runs the reconnect check. Returns LinkConnect's code, the check's,
/// LINK_ERROR_NO_LINK, LINK_ERROR_NO_ANSWER once the link's wait deadline
/// has passed, LINK_ERROR_STOPPED while its stop flag is set, or
/// LINK_ERROR_CAMERA_GONE when called from within the check.
int32_t LinkReconnect(CameraLink* link);
/// Returns LINK_OK, or LINK_ERROR_NO_LINK.
int32_t LinkSetProgressCallback(ProgressCallback callback, void* user, CameraLink* link);
/// `callback` (null for none) hears of what the link goes through; `user`
/// is handed back to it. Returns LINK_OK, or LINK_ERROR_NO_LINK.
int32_t LinkSetEventCallback(LinkEventCallback callback, void* user, CameraLink* link);
/// While `flag` is non-zero (a pending signal, a second Close), the link
/// begins no wait and ends the one under way (see "Limits" below): the call
/// fails with LINK_ERROR_STOPPED, and a disconnect closes the port without
/// waiting for the camera. A program that must not cut a wait short (the
/// firmware write's) keeps the flag clear meanwhile, or sets none.
/// The flag must outlive the link; setting it is safe from a signal handler
/// and from any thread. Returns LINK_OK, or LINK_ERROR_NO_LINK.
int32_t LinkSetStopFlag(const std::atomic<int>* flag, CameraLink* link);
/// Whoever reconnects may reach another camera on the same path. `check`
/// (null: none) runs after each reconnection that connected, before the
/// operation that reconnected sends anything more; it may use the link, but
/// a reconnection it would need fails, since what it read so far may be of
/// either camera. A code other than LINK_OK fails the reconnection with that
/// code. Returns LINK_OK, or LINK_ERROR_NO_LINK.
int32_t LinkSetReconnectCheck(ReconnectCheck check, void* user, CameraLink* link);
/// Limits. Each is set apart; setting one never clears or moves another,
/// nor the observers (progress callback, event callback, reconnect check).
/// Every wait of the link (packet replies, acknowledgements, the search and
/// the handshake, every frame of a chunked read or write, a busy camera's
/// action, a reconnection) ends by the earliest of them, whatever the retry
/// budgets say. A limit of any positive length lets a call begin, with no
/// time held back; once a limit has passed (or while the flag is set),
/// nothing more begins.
///
/// | limit     | setter              | clock          | cleared by  | ends            | code      |
/// |-----------|---------------------|----------------|-------------|-----------------|-----------|
/// | deadline  | LinkSetWaitDeadline | LinkTickCount: | nullopt     | every wait,     | NO_ANSWER |
/// |           | LinkSetWaitDuration | a fixed tick   |             | at the tick     |           |
/// | stall     | LinkSetStallBound   | LinkTickCount: | 0           | every wait,     | NO_ANSWER |
/// | bound     |                     | from the call, |             | `ms` after the  |           |
/// |           |                     | renewed by     |             | last progress   |           |
/// |           |                     | progress       |             |                 |           |
/// | stop flag | LinkSetStopFlag     | none: read     | the flag at | every wait:     | STOPPED   |
/// |           |                     | at each wait   | 0; a null   | serial within   |           |
/// |           |                     | and slice      | flag        | 100 ms, storage |           |
/// |           |                     |                |             | at the end of   |           |
/// |           |                     |                |             | its command     |           |
/// | progress  | LinkSetProgress…    | each frame     | a null      | the chunked     | CANCELLED |
/// | callback  |                     | of a transfer  | callback    | transfer        |           |
/// | returns 0 |                     |                |             |                 |           |
/// | link's    | (the link's own)    | LinkTickCount  | the end of  | a connection    | NO_ANSWER |
/// | bound     |                     |                | the connect | 20 s after its  |           |
/// |           |                     |                |             | handshake       |           |
///
/// Codes are LINK_ERROR_…. Progress is any byte or frame that arrived, and
/// each frame of a write the camera acknowledged. On the storage pipe a
/// device command waits whole seconds and cannot be cut short: one begun less
/// than a second before the deadline or stall bound waits its one second.
///
/// Bounds the stretches without progress until called with 0: while set, no
/// wait ends more than `ms` after this call or after the last progress.
/// Returns LINK_OK, or LINK_ERROR_NO_LINK.
int32_t LinkSetStallBound(uint32_t ms, CameraLink* link);
/// The code the link recorded last, or LINK_ERROR_NO_LINK for null.
int32_t LinkLastError(const CameraLink* link);
/// The first sense bytes of the last command the storage device refused, as
/// long as no command succeeded after it; empty when none (or for null).
std::span<const uint8_t> LinkLastSense(const CameraLink* link);
/// Waits out a busy camera or a running transaction and reconnects a closed,
/// gone or broken link. Returns LINK_OK, LinkReconnect's code,
/// LINK_ERROR_NO_ANSWER when a camera that was busy does not answer after,
/// LINK_ERROR_CAMERA_ERROR when the camera ended its action with its error
/// byte (the link is then broken, and the next call reconnects),
/// LINK_ERROR_NO_LINK, or LINK_ERROR_INTERNAL for an unknown state.
int32_t LinkEnsureReady(CameraLink* link);
/// Returns 1 while the camera is still busy (or reported an error, recorded
/// as LINK_ERROR_CAMERA_ERROR), else 0.
int32_t LinkPollBusy(CameraLink* link);

/// What one look at a busy link found.
enum class ActionState : uint8_t {
  RUNNING,       ///< the camera is still at it, or the read failed
  ENDED,         ///< it ended, or the link is no longer busy: the camera may be asked
  CAMERA_ERROR,  ///< the camera ended it with its error byte: the action failed
};
/// LinkPollBusy telling the camera's own error at the end of the action apart
/// from a failed read. A camera silent within the action's busy time is
/// still at it on either port (LinkPollBusy takes that silence for the end
/// on the storage pipe, where the camera's answer may then come late).
ActionState LinkPollAction(CameraLink* link);
/// Returns 1 when the camera is idle and reports itself ready, else 0.
int32_t LinkCheckAlive(CameraLink* link);
/// Until cleared (nullopt), the link's operations end by the tick
/// `deadline` of LinkTickCount's clock: reads end there and nothing begins
/// after it (what is left undone fails with LINK_ERROR_NO_ANSWER). Returns
/// LINK_OK, or LINK_ERROR_NO_LINK.
int32_t LinkSetWaitDeadline(std::optional<uint32_t> deadline, CameraLink* link);
/// LinkSetWaitDeadline at `ms` from now.
int32_t LinkSetWaitDuration(uint32_t ms, CameraLink* link);
/// The link's clock in milliseconds, wrapping every 49.7 days: the clock of
/// the wait deadline, the stall bound and the connection's bounds.
uint32_t LinkTickCount();

/// Transaction engines. Destinations carry their capacity; a read never
/// writes past it.
/// Most engines return LINK_OK, LINK_ERROR_NO_LINK, LINK_ERROR_NO_ANSWER when
/// the wait deadline or stall bound ended them, LINK_ERROR_STOPPED when the
/// stop flag did, or the exchange's LINK_ERROR_… code; an abortable one gives
/// LINK_RESTART unrecorded.
/// Returns the value, LINK_RESTART, or -1 with the code recorded (an answer
/// outside the property's range is LINK_ERROR_UNEXPECTED).
int32_t LinkGetValue(uint8_t property_id, bool abortable, CameraLink* link);
/// LinkGetValue with its code apart from the value, so that every value of
/// the property's range reads as itself: LINK_OK with `value` set, or
/// LINK_RESTART or the recorded code with `value` left as it was.
int32_t LinkGetValueChecked(uint8_t property_id, bool abortable, uint32_t& value, CameraLink* link);
/// A value outside the property's range gives LINK_ERROR_INVALID_ARGUMENT.
int32_t LinkSetValue(uint8_t property_id, uint32_t value, CameraLink* link);
/// On LINK_OK the link is busy for up to `busy_ms`.
int32_t LinkExecute(uint8_t action, uint8_t argument, uint32_t busy_ms, CameraLink* link);
/// As LinkExecute, for an action that must not run twice (the firmware
/// write): once any byte of it may have reached the camera it is sent again
/// only on the camera's NAK, never after a reconnection; on the storage pipe
/// its answer is awaited only while the wait deadline leaves time to ask the
/// camera how it is. LINK_ERROR_NAK: the camera refused every copy with NAK,
/// so it did not take the action. Otherwise its fate is the camera's to
/// tell, by its readiness and what it then reports.
int32_t LinkExecuteOnce(uint8_t action, uint8_t argument, uint32_t busy_ms, CameraLink* link);
/// The largest payload is destination.size().
int32_t LinkReadChunk(bool first, uint32_t& delivered, bool& more, std::span<uint8_t> destination,
                      uint8_t data_kind, bool abortable, uint8_t request_class, CameraLink* link);
/// One small chunk; a camera that has more but delivers none gives
/// LINK_ERROR_CAMERA_ERROR.
int32_t LinkReadBlock(uint8_t data_kind, std::span<uint8_t> destination, CameraLink* link);
/// The total size is destination.size(); progress_start is in 1/256 percent.
/// A camera that ends before the total gives LINK_ERROR_UNEXPECTED; the bytes
/// that arrived are counted in bytes_received (so for LinkReadObjectToFile).
/// An empty destination gives LINK_ERROR_INVALID_ARGUMENT, a refused
/// progress callback LINK_ERROR_CANCELLED.
int32_t LinkReadData(uint8_t data_kind, std::span<uint8_t> destination, uint32_t object,
                     int32_t progress_start, CameraLink* link);
/// LinkReadData for a caller that knows only an upper bound (or counts
/// progress against a larger whole): a camera that ends early is no failure,
/// and bytes_received tells how much arrived.
int32_t LinkReadDataUpTo(uint8_t data_kind, std::span<uint8_t> destination, int32_t progress_start,
                         CameraLink* link);
/// Selects `object`, reads its size and writes its data to `file`, starting
/// over after a reconnection. Returns LINK_OK, LINK_ERROR_EMPTY_OBJECT,
/// LINK_ERROR_FILE_WRITE, LINK_ERROR_CANCELLED, LINK_ERROR_INTERNAL when no
/// buffer or rewind can be had, or the failing engine's code.
int32_t LinkReadObjectToFile(uint8_t size_property_id, uint8_t data_kind, FileHandle file,
                             uint32_t object, CameraLink* link);
/// Writes `data` as one transfer of `data_kind`, in frames the camera
/// acknowledges one by one: LINK_OK, LINK_ERROR_NO_LINK, LINK_ERROR_CANCELLED
/// when the progress callback refuses, or the write exchange's code. The wait
/// deadline, the stall bound and the stop flag apply.
int32_t LinkWriteData(uint8_t data_kind, std::span<const uint8_t> data, CameraLink* link);
/// A text of 32 bytes or more gives LINK_ERROR_INVALID_ARGUMENT.
int32_t LinkWriteString(uint8_t data_kind, std::string_view text, CameraLink* link);

}  // namespace pelox
PELOX_API_END
