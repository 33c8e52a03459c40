#pragma once
// The exchanges: one request and its acknowledgement or reply, with a
// bounded number of tries. Each returns a link error code; reconnection and
// chunking belong to the engines.
#include <cstdint>
#include <span>

#include "link/camera_link.h"

namespace pelox {

// Tries of the acknowledged exchanges and credits of the replied ones.
inline constexpr int32_t EXCHANGE_TRIES = 4;
inline constexpr uint8_t PROPERTY_SPEED = 17;

// `command` is COMMAND_CAMERA, or COMMAND_SPEED for the speed request.
int32_t ExchangeSet(uint32_t value, uint8_t property_id, uint8_t command, CameraLink* link);
// As ExchangeSet with `tries` tries, all of them over by the tick count
// `deadline_ms` or once the link's stop flag is set (serial ports only).
int32_t ExchangeSetBefore(uint32_t value, uint8_t property_id, uint8_t command, int32_t tries,
                          uint32_t deadline_ms, CameraLink* link);
int32_t ExchangeGet(uint8_t property_id, uint32_t& value, CameraLink* link);
int32_t ExchangeAction(uint8_t action, uint8_t argument, CameraLink* link);

struct ChunkRequest {
  bool first = true;
  std::span<uint8_t> destination;  // its size is the largest payload accepted
  uint8_t data_kind = 0;
  uint8_t request_class = 0;  // REQUEST_READ or REQUEST_READ_LARGE
};

struct ChunkResult {
  uint32_t delivered = 0;
  bool more = false;
};

int32_t ExchangeReadChunk(const ChunkRequest& request, ChunkResult& result, CameraLink* link);
int32_t ExchangeWrite(std::span<const uint8_t> data, uint8_t data_kind, CameraLink* link);

}  // namespace pelox
