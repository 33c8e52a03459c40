#pragma once
// The camera's firmware store and flash: it keeps the image written as data
// kind 29 and writes it only when the upload key was set before the
// transfer began, every byte arrived, and the image's header agrees with
// it. Its statement says what became of the image.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pelox::sim {

inline constexpr size_t FIRMWARE_HEADER_SIZE = 96;
inline constexpr uint32_t MAX_FLASH_BUSY_MS = 60000;

enum class FlashOutcome : uint8_t { NOT_ASKED, FLASHED, REFUSED };

struct FirmwareStatement {
  bool transfer_started = false;
  bool transfer_complete = false;  // the write ended with its last frame
  uint32_t bytes_received = 0;
  uint32_t byte_sum = 0;      // of every byte received, modulo 2^32
  std::string image_problem;  // empty when the header agrees with the image
  FlashOutcome outcome = FlashOutcome::NOT_ASKED;
  std::string reason;         // why the flash was refused
  std::string version_after;  // the camera's version after the flash
};

class FirmwareStore {
 public:
  FirmwareStore(uint32_t accepted_key, uint32_t busy_ms);

  void BeginTransfer(uint32_t key_now);
  void Append(std::span<const uint8_t> bytes);
  void EndTransfer(bool complete);

  // Whether the stored image may be written; on success `version` holds the
  // image's version text, otherwise the statement says why not.
  bool Flash(std::string& version);
  void NoteFlashed(const std::string& version);
  // The write was asked for but not done.
  void NoteNotWritten(std::string reason);

  uint32_t BusyMs() const { return busy_ms_; }
  const std::vector<uint8_t>& Image() const { return image_; }
  const FirmwareStatement& Statement() const { return statement_; }

 private:
  // Empty when the header's LENGTH= and SUM= agree with the image.
  std::string CheckImage();

  uint32_t accepted_key_;
  uint32_t busy_ms_;
  bool keyed_ = false;
  std::vector<uint8_t> image_;
  std::string image_version_;
  FirmwareStatement statement_;
};

// "camsim: firmware image of N bytes arrived byte for byte (sum 0x...) and
// was flashed: version now ..." or what went wrong.
std::string DescribeStatement(const FirmwareStatement& statement);

}  // namespace pelox::sim
