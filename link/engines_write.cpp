// Engines that send data to the camera.
#include "link/engine_frame.h"
#include "link/error_record.h"
#include "link/exchanges.h"

namespace pelox {
namespace {

constexpr size_t TEXT_LIMIT = 32;

}  // namespace

int32_t LinkWriteData(uint8_t data_kind, std::span<const uint8_t> data, CameraLink* link) {
  // Each repetition after a reconnection sends everything again.
  return RunTransaction(
      TransactionKind{}, [&] { return ExchangeWrite(data, data_kind, link); }, link);
}

int32_t LinkWriteString(uint8_t data_kind, std::string_view text, CameraLink* link) {
  if (text.size() >= TEXT_LIMIT) return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  return LinkWriteData(data_kind, std::span(bytes, text.size()), link);
}

}  // namespace pelox
