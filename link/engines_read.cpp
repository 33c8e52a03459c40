// Engines that read from the camera: one chunk, one block, and whole data
// objects in chunks into memory or into a file, with progress.
#include <algorithm>
#include <memory>
#include <new>

#include "link/engine_frame.h"
#include "link/error_record.h"
#include "link/exchanges.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "platform/clock.h"
#include "platform/file.h"

namespace pelox {
namespace {

constexpr uint32_t TRANSFER_WAIT_MS = 50;
constexpr uint8_t PROPERTY_OBJECT = 4;
constexpr size_t FILE_BUFFER_EXTRA = PACKET_OVERHEAD + 64;
constexpr int32_t PERCENT_SCALE = 25600;  // 100 percent in 1/256 percent
constexpr int32_t PERCENT_DONE = 100;

struct ChunkPlan {
  size_t chunk_size;
  uint8_t request_class;
};

ChunkPlan PlanChunks(const CameraLink* link) {
  return link->large_blocks != 0 ? ChunkPlan{FRAME_PAYLOAD_LARGE, REQUEST_READ_LARGE}
                                 : ChunkPlan{FRAME_PAYLOAD_SMALL, REQUEST_READ};
}

// One chunked read at a time per link: a second one, from another thread,
// takes the flag in the same step that finds it clear, or waits.
void EnterTransfer(CameraLink* link) {
  int32_t idle = 0;
  while (link->state == LINK_STATE_IN_TRANSACTION ||
         !link->transfer_active.compare_exchange_strong(idle, 1)) {
    idle = 0;
    ClockSleep(TRANSFER_WAIT_MS);
  }
}

// The result is recorded before the flag is let go: a waiting read takes
// the link over from there.
int32_t LeaveTransfer(int32_t code, CameraLink* link) {
  const int32_t result = code == LINK_RESTART ? code : LinkSetError(code, link);
  link->transfer_active = 0;
  return result;
}

bool ReportProgress(int32_t percent, const CameraLink* link) {
  return link->progress_callback == nullptr ||
         link->progress_callback(link->progress_user, 0, percent) != 0;
}

// How a read treats a camera that ends before the total.
enum class Extent { EXACT, UP_TO };

// Reads `total` bytes in chunks, abortably. `place(offset, length)` gives
// where the next chunk lands; `take(bytes)` consumes it and returns a code.
// Returns LINK_OK, LINK_RESTART or the failing code; LINK_ERROR_UNEXPECTED
// when the camera ends before an exact total. The link's bytes_received
// counts what arrived either way.
template <typename Place, typename Take>
int32_t ReadChunks(uint8_t data_kind, size_t total, Extent extent, int32_t progress_start,
                   Place place, Take take, CameraLink* link) {
  const ChunkPlan plan = PlanChunks(link);
  int64_t percent = progress_start;
  uint32_t delivered = 0;
  bool first = true;
  bool more = true;
  size_t offset = 0;
  link->bytes_received = 0;
  while (more) {
    if (link->progress_callback != nullptr) {
      percent += static_cast<int64_t>(delivered) * PERCENT_SCALE / static_cast<int64_t>(total);
      if (!ReportProgress(static_cast<int32_t>(percent >> 8), link)) return LINK_ERROR_CANCELLED;
    }
    const std::span<uint8_t> slot = place(offset, std::min(total - offset, plan.chunk_size));
    const int32_t code =
        LinkReadChunk(first, delivered, more, slot, data_kind, true, plan.request_class, link);
    if (code != LINK_OK) return code;
    const int32_t taken = take(slot.first(delivered));
    if (taken != LINK_OK) return taken;
    first = false;
    offset += delivered;
    link->bytes_received = static_cast<uint32_t>(offset);
  }
  // The camera's last frame came before the total it announced.
  if (extent == Extent::EXACT && offset < total) return LINK_ERROR_UNEXPECTED;
  ReportProgress(PERCENT_DONE, link);
  return LINK_OK;
}

}  // namespace

int32_t LinkReadChunk(bool first, uint32_t& delivered, bool& more, std::span<uint8_t> destination,
                      uint8_t data_kind, bool abortable, uint8_t request_class, CameraLink* link) {
  delivered = 0;
  more = false;
  const ChunkRequest request{.first = first,
                             .destination = destination,
                             .data_kind = data_kind,
                             .request_class = request_class};
  ChunkResult result;
  const int32_t code = RunTransaction(
      TransactionKind{.clears_abort = true, .abortable = abortable},
      [&] { return ExchangeReadChunk(request, result, link); }, link);
  delivered = result.delivered;
  more = result.more;
  return code;
}

int32_t LinkReadBlock(uint8_t data_kind, std::span<uint8_t> destination, CameraLink* link) {
  uint32_t delivered = 0;
  bool more = false;
  const std::span<uint8_t> block =
      destination.first(std::min(destination.size(), FRAME_PAYLOAD_SMALL));
  const int32_t code =
      LinkReadChunk(true, delivered, more, block, data_kind, false, REQUEST_READ, link);
  if (code == LINK_OK && more && delivered == 0) {
    return LinkSetError(LINK_ERROR_CAMERA_ERROR, link);
  }
  return code;
}

namespace {

int32_t ReadIntoMemory(uint8_t data_kind, std::span<uint8_t> destination, Extent extent,
                       int32_t progress_start, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  // Progress divides by the total: an empty read has nothing to ask for.
  if (destination.empty()) return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  EnterTransfer(link);
  const int32_t code = ReadChunks(
      data_kind, destination.size(), extent, progress_start,
      [&](size_t offset, size_t length) { return destination.subspan(offset, length); },
      [](std::span<const uint8_t>) { return LINK_OK; }, link);
  return LeaveTransfer(code, link);
}

}  // namespace

int32_t LinkReadData(uint8_t data_kind, std::span<uint8_t> destination, uint32_t /*object*/,
                     int32_t progress_start, CameraLink* link) {
  return ReadIntoMemory(data_kind, destination, Extent::EXACT, progress_start, link);
}

int32_t LinkReadDataUpTo(uint8_t data_kind, std::span<uint8_t> destination, int32_t progress_start,
                         CameraLink* link) {
  return ReadIntoMemory(data_kind, destination, Extent::UP_TO, progress_start, link);
}

int32_t LinkReadObjectToFile(uint8_t size_property_id, uint8_t data_kind, FileHandle file,
                             uint32_t object, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  EnterTransfer(link);
  const size_t buffer_size = PlanChunks(link).chunk_size + FILE_BUFFER_EXTRA;
  for (;;) {
    const int32_t selected = LinkSetValue(PROPERTY_OBJECT, object, link);
    if (selected != LINK_OK) return LeaveTransfer(selected, link);
    const std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[buffer_size]);
    if (!buffer) return LeaveTransfer(LINK_ERROR_INTERNAL, link);
    const int32_t size = LinkGetValue(size_property_id, true, link);
    if (size == LINK_RESTART) continue;
    if (size == 0) return LeaveTransfer(LINK_ERROR_EMPTY_OBJECT, link);
    if (size < 0) return LeaveTransfer(LinkLastError(link), link);

    const std::span<uint8_t> chunk_buffer(buffer.get(), buffer_size);
    const int32_t code = ReadChunks(
        data_kind, static_cast<size_t>(size), Extent::EXACT, 0,
        [&](size_t, size_t length) { return chunk_buffer.first(length); },
        [&](std::span<const uint8_t> bytes) {
          const int64_t written = FileWrite(file, bytes);
          return written == static_cast<int64_t>(bytes.size()) ? LINK_OK : LINK_ERROR_FILE_WRITE;
        },
        link);
    if (code != LINK_RESTART) return LeaveTransfer(code, link);
    // The link was re-established: the object is read again from its start.
    if (!FileRewind(file)) return LeaveTransfer(LINK_ERROR_INTERNAL, link);
  }
}

}  // namespace pelox
