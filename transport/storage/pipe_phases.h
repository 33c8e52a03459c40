#pragma once
// The phases of a storage-pipe read and write, written once for every
// variant: each variant supplies where its CDB lives and how one SCSI
// command runs.
#include <cstdint>
#include <span>

#include "transport/port/port_state.h"
#include "transport/storage/pipe_format.h"

namespace pelox {

// A phase result that lets the operation go on.
inline constexpr int32_t PIPE_GO_ON = 0;

// Completion codes shared by the variants that report one (ASPI status, SG).
enum PipeCompletion : int32_t {
  PIPE_COMPLETION_DONE = 1,
  PIPE_COMPLETION_FAILED = 2,
  PIPE_COMPLETION_SCSI_ERROR = 4,
};

struct PipeVariant {
  // The link's current CDB.
  std::span<uint8_t, PIPE_CDB_SIZE> (*cdb)(PortState* link);
  int32_t (*scsi_in)(PortState* link, std::span<uint8_t> buffer);
  int32_t (*scsi_out)(PortState* link, std::span<const uint8_t> buffer);
  // PIPE_GO_ON, or the port result that ends the operation.
  int32_t (*phase_result)(int32_t status);
  // Sets the seconds the following phases may take.
  void (*set_timeout)(PortState* link, int32_t seconds);
  // Whether a failed status phase fails a read that already has its data.
  bool read_status_counts;
};

// Notes a command the device refused with `scsi_status`, keeping the first
// of the sense bytes it returned; a phase that succeeds forgets it.
void PipeKeepRefusal(uint8_t scsi_status, std::span<const uint8_t> sense, PortState* link);

// Maps a completion code: failed -2, SCSI error -3, anything else goes on.
int32_t PipeResultOfCompletion(int32_t status);

// 1, -2 or -3.
int32_t PipeWrite(const PipeVariant& variant, std::span<const uint8_t> data, PortState* link);
// Bytes delivered (at most buffer.size(), one answer of the camera), -2 or -3.
int32_t PipeRead(const PipeVariant& variant, std::span<uint8_t> buffer, int32_t timeout,
                 PortState* link);

// Takes the maker of the claimed camera: vendor code, large blocks, the
// maker's operation codes and a fresh CDB. False for a code of no maker.
bool PipeAdoptCamera(const PipeVariant& variant, uint16_t vendor_code, PortState* link);
// The close command, for the makers that take one; its outcome is ignored.
void PipeSendClose(const PipeVariant& variant, PortState* link);

}  // namespace pelox
