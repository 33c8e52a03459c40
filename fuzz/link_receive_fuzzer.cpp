// Arbitrary camera bytes against the receive path: the packet parser, and
// the read-chunk exchange's verdicts over a serial line that delivers them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "fuzz/scripted_serial_line.h"
#include "link/link_record.h"
#include "link/exchanges.h"
#include "link/packet.h"
#include "transport/port/port.h"

namespace {

constexpr int32_t FUZZ_PORT = 1;

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelox;
  if (size < 2) return 0;
  const std::span<const uint8_t> input(data, size);

  ParsedPacket parsed;
  const PacketVerdict verdict = ParsePacket(input, (input[0] & 1) != 0, input[1], parsed);
  Require(verdict == PACKET_OK || verdict == PACKET_MALFORMED || verdict == PACKET_OUT_OF_SEQUENCE);
  Require(parsed.payload.empty() || (parsed.payload.data() >= data &&
                                     parsed.payload.data() + parsed.payload.size() <= data + size));

  // The first two bytes choose the chunk: its largest payload and class.
  PortResetState();
  CameraLink link;
  Require(PortOpenCom(FUZZ_PORT, 19200, 8, 4096, 4096, &link) == FUZZ_PORT);
  link.state = LINK_STATE_READY;
  link.speed_index = 5;
  const bool large = (input[0] & 0x80) != 0;
  const size_t largest = (static_cast<size_t>(input[0] & 0x7F) << 8 | input[1]) % 4097;
  std::vector<uint8_t> destination(largest);  // exact size: any overrun trips the sanitizer
  fuzz::ScriptSerialLine(input.subspan(2));
  ChunkResult result;
  const ChunkRequest request{.first = (input[1] & 1) != 0,
                             .destination = destination,
                             .data_kind = 7,
                             .request_class = large ? REQUEST_READ_LARGE : REQUEST_READ};
  const int32_t code = ExchangeReadChunk(request, result, &link);
  // A serial line can end a chunk only with data, no reply, or the camera gone.
  Require(code == LINK_OK || code == LINK_ERROR_NO_REPLY || code == LINK_ERROR_CAMERA_GONE);
  Require(result.delivered <= destination.size());
  Require(code == LINK_OK || result.delivered == 0);
  PortClose(&link);
  return 0;
}
