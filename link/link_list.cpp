#include "link/link_list.h"

#include <mutex>
#include <new>

#include "link/link_record.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "transport/port/port.h"
#include "transport/storage/aspi/aspi_library.h"
#include "transport/storage/storage_init.h"

namespace pelox {
namespace {

// Links are created and deleted on any thread: the list, the count and the
// storage variant's library references change under this lock.
Mutex& ListLock() {
  static Mutex lock;
  return lock;
}
CameraLink* list_head = nullptr;
uint32_t live_links = 0;

void Append(CameraLink* link) {
  if (list_head == nullptr) {
    list_head = link;
    return;
  }
  CameraLink* last = list_head;
  while (last->next != nullptr) last = last->next;
  last->next = link;
  link->prev = last;
}

void Unlink(CameraLink* link) {
  if (link->prev != nullptr) link->prev->next = link->next;
  if (link->next != nullptr) link->next->prev = link->prev;
  if (list_head == link) list_head = link->next;
  link->prev = nullptr;
  link->next = nullptr;
}

// A serial device stays open until closed; the storage pipe is held while
// the link is connected.
bool HoldsPort(const CameraLink* link) {
  return link->com_handle != nullptr ||
         (link->port_type == PORT_TYPE_STORAGE && link->state != LINK_STATE_CLOSED);
}

// Closes the port the link holds and releases what it holds for the storage
// pipe, then the record. An
// ASPI link holds a reference to the library exactly while it has its
// request block, so that deleting one link never unloads the library under
// another.
void FreeLink(CameraLink* link) {
  if (HoldsPort(link)) PortClose(link);
  if (link->exec_srb) AspiLibraryRelease();
  if (link->completion_event != nullptr) EventClose(link->completion_event);
  delete link;
}

// The storage variant's per-link resources; false when one cannot be had.
bool PrepareStorageResources(CameraLink* link) {
  switch (StorageMode()) {
    case STORAGE_MODE_ASPI:
      if (!AspiLibraryLoad()) return false;
      link->exec_srb.reset(new (std::nothrow) RequestBlock{});
      if (!link->exec_srb) {
        AspiLibraryRelease();
        return false;
      }
      link->completion_event = EventCreate();
      return link->completion_event != nullptr;
    case STORAGE_MODE_PASS_THROUGH:
      link->pass_through.reset(new (std::nothrow) RequestBlock{});
      return link->pass_through != nullptr;
    default: return true;
  }
}

}  // namespace

CameraLink* LinkListHead() {
  const std::lock_guard<Mutex> hold(ListLock());
  return list_head;
}

uint32_t LinkLiveCount() {
  const std::lock_guard<Mutex> hold(ListLock());
  return live_links;
}

bool LinkListed(const CameraLink* link) {
  const std::lock_guard<Mutex> hold(ListLock());
  for (const CameraLink* listed = list_head; listed != nullptr; listed = listed->next) {
    if (listed == link) return true;
  }
  return false;
}

CameraLink* LinkCreate() {
  CameraLink* link = new (std::nothrow) CameraLink{};
  if (link == nullptr) return nullptr;
  std::unique_lock<Mutex> hold(ListLock());
  Append(link);
  link->link_id = static_cast<uint8_t>(live_links);
  ++live_links;
  if (!PrepareStorageResources(link)) {
    hold.unlock();
    LinkDelete(link);
    return nullptr;
  }
  return link;
}

int32_t LinkDelete(CameraLink* link) {
  if (link == nullptr) return LINK_OK;
  const std::lock_guard<Mutex> hold(ListLock());
  // A link of LinkCreateUnlisted is not counted among the live ones.
  const bool listed = link->prev != nullptr || list_head == link;
  Unlink(link);
  FreeLink(link);
  if (listed) --live_links;
  return LINK_OK;
}

int32_t LinkDestroyAll() {
  const std::lock_guard<Mutex> hold(ListLock());
  while (list_head != nullptr) {
    CameraLink* link = list_head;
    Unlink(link);
    FreeLink(link);
  }
  live_links = 0;
  return LINK_OK;
}

}  // namespace pelox
