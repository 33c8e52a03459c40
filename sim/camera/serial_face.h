#pragma once
// The camera's serial face: it cuts the host's byte stream into units
// (control bytes and packets, by first byte and length field), listens and
// talks at the line speed it agreed with the host, and puts the camera's
// units on the line. Bytes sent at another speed reach it garbled.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/camera/packet_endpoint.h"

namespace pelox::sim {

// What a byte sent at one speed looks like to a receiver at another.
inline constexpr uint8_t GARBLED_BYTE = 0xFE;
// A partial packet is dropped when the host stays silent this long.
inline constexpr uint64_t PACKET_IDLE_LIMIT_MS = 1000;

struct LineBytes {
  uint64_t ready_ms = 0;
  uint32_t baud = 0;  // the speed the camera sent them at
  std::vector<uint8_t> bytes;
};

class SerialFace {
 public:
  SerialFace(PacketEndpoint& endpoint, CameraLog& log);

  // Bytes that reached the camera at `now_ms`, sent at `baud`.
  void Receive(std::span<const uint8_t> bytes, uint32_t baud, uint64_t now_ms);
  // The camera's next bytes ready by `now_ms`.
  std::optional<LineBytes> TakeReady(uint64_t now_ms);
  std::optional<uint64_t> NextReadyMs() const { return endpoint_.NextReadyMs(); }

  uint32_t Baud() const { return baud_; }
  uint64_t BytesReceived() const { return bytes_received_; }
  // After this many bytes from the host the camera is unplugged.
  void UnplugAfterBytes(uint64_t count) { unplug_after_bytes_ = count; }
  bool PortFailing(uint64_t now_ms) const { return endpoint_.PortFailing(now_ms); }
  bool Unplugged() const { return endpoint_.Unplugged(); }

 private:
  void CutUnits(uint64_t now_ms);

  PacketEndpoint& endpoint_;
  CameraLog& log_;
  uint32_t baud_ = INITIAL_BAUD;
  std::vector<uint8_t> pending_;
  uint64_t last_byte_ms_ = 0;
  uint64_t bytes_received_ = 0;
  std::optional<uint64_t> unplug_after_bytes_;
};

}  // namespace pelox::sim
