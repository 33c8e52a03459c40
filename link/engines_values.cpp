// Engines for properties and actions.
#include "link/acknowledged_send.h"
#include "link/engine_frame.h"
#include "link/error_record.h"
#include "link/exchanges.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "link/range_table.h"
#include "platform/clock.h"

namespace pelox {
namespace {

constexpr int32_t VALUE_FAILED = -1;

}  // namespace

int32_t LinkGetValueChecked(uint8_t property_id, bool abortable, uint32_t& value,
                            CameraLink* link) {
  uint32_t answered = 0;
  const int32_t code = RunTransaction(
      TransactionKind{.clears_abort = true, .abortable = abortable},
      [&] {
        const int32_t got = ExchangeGet(property_id, answered, link);
        return got == LINK_OK && !InRange(property_id, answered) ? LINK_ERROR_UNEXPECTED : got;
      },
      link);
  if (code == LINK_OK) value = answered;
  return code;
}

int32_t LinkGetValue(uint8_t property_id, bool abortable, CameraLink* link) {
  uint32_t value = 0;
  const int32_t code = LinkGetValueChecked(property_id, abortable, value, link);
  if (code == LINK_RESTART) return LINK_RESTART;
  return code == LINK_OK ? static_cast<int32_t>(value) : VALUE_FAILED;
}

int32_t LinkSetValue(uint8_t property_id, uint32_t value, CameraLink* link) {
  if (!InRange(property_id, value)) return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  return RunTransaction(
      TransactionKind{}, [&] { return ExchangeSet(value, property_id, COMMAND_CAMERA, link); },
      link);
}

namespace {

int32_t Execute(uint8_t action, uint8_t argument, uint32_t busy_ms, bool once, CameraLink* link) {
  const int32_t code = RunTransaction(
      TransactionKind{.once = once},
      [&] {
        return once ? ExchangeActionOnce(action, argument, link)
                    : ExchangeAction(action, argument, link);
      },
      link);
  if (code == LINK_OK) {
    link->state = LINK_STATE_BUSY;
    link->busy_deadline = busy_ms + ClockTickCount();
  }
  return code;
}

}  // namespace

int32_t LinkExecute(uint8_t action, uint8_t argument, uint32_t busy_ms, CameraLink* link) {
  return Execute(action, argument, busy_ms, false, link);
}

int32_t LinkExecuteOnce(uint8_t action, uint8_t argument, uint32_t busy_ms, CameraLink* link) {
  return Execute(action, argument, busy_ms, true, link);
}

}  // namespace pelox
