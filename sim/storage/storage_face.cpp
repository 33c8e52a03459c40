#include "sim/storage/storage_face.h"

#include <algorithm>
#include <array>

#include "sim/storage/inquiry_data.h"
#include "transport/byte_order.h"

namespace pelox::sim {
namespace {

// The camera's own view of the pipe; it does not borrow the host's tables.
constexpr std::array<uint8_t, 16> COMMAND_BLOCK{0x10, 0, 0, 0, 1, 0, 0xFF, 0x9F,
                                                0,    0, 0, 0, 0, 0, 0,    0};
constexpr size_t HEADER_TYPE_OFFSET = 4;
constexpr uint8_t HEADER_TYPE_PACKET = 2;
constexpr size_t ANSWER_SIZE = 16;
constexpr size_t ANSWER_LENGTH_OFFSET = 12;
constexpr uint8_t ANSWER_TYPE = 3;
constexpr size_t STATUS_SIZE = 14;
constexpr size_t CDB_SIZE = 16;
constexpr size_t CDB_LENGTH_OFFSET = 6;
constexpr size_t CDB_FLAG_OFFSET = 12;
// How long the camera holds an answer when the host does not say how long it waits.
constexpr uint32_t DEFAULT_HOLD_MS = 2000;

// Operation codes are the maker's base plus the phase's role.
constexpr uint8_t ROLE_COMMAND = 0;
constexpr uint8_t ROLE_DATA_OUT = 1;
constexpr uint8_t ROLE_DATA_IN = 2;
constexpr uint8_t ROLE_STATUS = 3;
constexpr uint8_t ROLE_ANSWER = 4;
constexpr uint8_t ROLE_CLOSE = 5;
constexpr uint8_t ROLE_COUNT = 6;

struct Maker {
  char initial;
  uint8_t opcode_base;
  uint8_t cdb_flag;
};

constexpr std::array<Maker, 5> MAKERS{{
    {'O', 0xC0, 1},  // OLYMPUS
    {'E', 0xD0, 0},  // EPSON
    {'P', 0xE0, 0},  // PELOX
    {'M', 0xC8, 0},  // MINOLTA
    {'S', 0xF0, 1},  // SANYO
}};

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

StorageFace::StorageFace(PacketEndpoint& endpoint, CameraLog& log, std::string vendor_field,
                         StorageFaceClock clock)
    : endpoint_(endpoint),
      log_(log),
      vendor_field_(std::move(vendor_field)),
      clock_(std::move(clock)) {
  if (vendor_field_.empty()) return;
  for (const Maker& maker : MAKERS) {
    if (maker.initial != Upper(vendor_field_[0])) continue;
    opcode_base_ = maker.opcode_base;
    maker_flag_ = maker.cdb_flag;
  }
}

ScsiOutcome StorageFace::Execute(const ScsiCommand& command) {
  const uint64_t now = clock_.now_ms();
  if (endpoint_.Unplugged() || endpoint_.PortFailing(now)) return ScsiOutcome::NO_RESPONSE;
  if (command.cdb.empty()) return Refuse(command, Verdict::MALFORMED, "empty CDB");
  if (endpoint_.ScsiRefusing(now)) return ScsiOutcome::CHECK_CONDITION;
  cdbs_.push_back({{command.cdb.begin(), command.cdb.end()},
                   command.direction,
                   command.data.size(),
                   command.timeout_ms});
  const uint8_t opcode = command.cdb[0];
  if (opcode == SCSI_INQUIRY && command.direction == DataDirection::IN) {
    FillInquiry(command.data, vendor_field_, "DIGITAL CAMERA");
    return ScsiOutcome::GOOD;
  }
  if (opcode_base_ < 0 || opcode < opcode_base_ || opcode >= opcode_base_ + ROLE_COUNT) {
    return Refuse(command, Verdict::UNEXPECTED, "not a pipe command of this maker");
  }
  return RunPipe(static_cast<uint8_t>(opcode - opcode_base_), command);
}

bool StorageFace::CdbWellFormed(uint8_t role, const ScsiCommand& command) const {
  if (command.cdb.size() != CDB_SIZE) return false;
  std::array<uint8_t, CDB_SIZE> expected{};
  expected[0] = command.cdb[0];
  if (role != ROLE_CLOSE) {
    StoreBe32(std::span(expected).subspan<CDB_LENGTH_OFFSET, 4>(),
              static_cast<uint32_t>(command.data.size()));
    expected[CDB_FLAG_OFFSET] = maker_flag_;
  }
  return std::equal(expected.begin(), expected.end(), command.cdb.begin());
}

ScsiOutcome StorageFace::RunPipe(uint8_t role, const ScsiCommand& command) {
  if (!CdbWellFormed(role, command)) return Refuse(command, Verdict::MALFORMED, "pipe CDB");
  switch (role) {
    case ROLE_COMMAND: return Command(command);
    case ROLE_DATA_OUT: return DataOut(command);
    case ROLE_ANSWER: return Answer(command);
    case ROLE_DATA_IN: return DataIn(command);
    case ROLE_STATUS: return Status(command);
    case ROLE_CLOSE:
      if (command.direction != DataDirection::NONE) {
        return Refuse(command, Verdict::MALFORMED, "close with data");
      }
      ++close_count_;
      phase_ = Phase::IDLE;
      return ScsiOutcome::GOOD;
    default: return Refuse(command, Verdict::UNEXPECTED, "unknown pipe role");
  }
}

ScsiOutcome StorageFace::Command(const ScsiCommand& command) {
  if (command.direction != DataDirection::OUT ||
      !std::equal(COMMAND_BLOCK.begin(), COMMAND_BLOCK.end(), command.data.begin(),
                  command.data.end())) {
    return Refuse(command, Verdict::MALFORMED, "command block");
  }
  // A host that gave up in the middle of an exchange starts afresh; the
  // abandoned phases still count against it.
  if (phase_ != Phase::IDLE) {
    ++protocol_errors_;
    log_.Add(clock_.now_ms(), Direction::FROM_HOST, command.cdb, Verdict::UNEXPECTED,
             "command block before the previous exchange ended");
  }
  phase_ = Phase::COMMANDED;
  return ScsiOutcome::GOOD;
}

ScsiOutcome StorageFace::DataOut(const ScsiCommand& command) {
  if (phase_ != Phase::COMMANDED || command.direction != DataDirection::OUT) {
    return Refuse(command, Verdict::UNEXPECTED, "data-out out of order");
  }
  const std::span<const uint8_t> data = command.data;
  if (data.size() < PIPE_DATA_HEADER_SIZE || LoadLe32(data.first<4>()) != data.size() ||
      data[HEADER_TYPE_OFFSET] != HEADER_TYPE_PACKET ||
      std::any_of(data.begin() + HEADER_TYPE_OFFSET + 1, data.begin() + PIPE_DATA_HEADER_SIZE,
                  [](uint8_t byte) { return byte != 0; })) {
    return Refuse(command, Verdict::MALFORMED, "data-out header");
  }
  endpoint_.Receive(data.subspan(PIPE_DATA_HEADER_SIZE), clock_.now_ms());
  phase_ = Phase::WRITTEN;
  return ScsiOutcome::GOOD;
}

ScsiOutcome StorageFace::Answer(const ScsiCommand& command) {
  if (phase_ != Phase::COMMANDED || command.direction != DataDirection::IN ||
      command.data.size() != ANSWER_SIZE) {
    return Refuse(command, Verdict::UNEXPECTED, "answer out of order");
  }
  // The camera holds the answer until its next unit is ready, for as long as
  // the host waits for the command.
  const uint32_t hold_ms = command.timeout_ms > 0 ? command.timeout_ms : DEFAULT_HOLD_MS;
  const uint64_t deadline = clock_.now_ms() + hold_ms;
  std::optional<uint64_t> next = endpoint_.NextReadyMs();
  if (next && *next > clock_.now_ms() && *next <= deadline) clock_.wait_until_ms(*next);
  std::optional<CameraUnit> unit = endpoint_.TakeReady(clock_.now_ms());
  if (!unit) clock_.wait_until_ms(deadline);
  pending_reply_ = unit ? std::move(unit->bytes) : std::vector<uint8_t>{};

  std::fill(command.data.begin(), command.data.end(), uint8_t{0});
  StoreLe32(command.data.first<4>(), ANSWER_SIZE);
  command.data[HEADER_TYPE_OFFSET] = ANSWER_TYPE;
  StoreLe32(command.data.subspan<ANSWER_LENGTH_OFFSET, 4>(),
            static_cast<uint32_t>(PIPE_DATA_HEADER_SIZE + pending_reply_.size()));
  phase_ = Phase::ANSWERED;
  return ScsiOutcome::GOOD;
}

ScsiOutcome StorageFace::DataIn(const ScsiCommand& command) {
  if (phase_ != Phase::ANSWERED || command.direction != DataDirection::IN ||
      command.data.size() != PIPE_DATA_HEADER_SIZE + pending_reply_.size()) {
    return Refuse(command, Verdict::UNEXPECTED, "data-in out of order or of another length");
  }
  std::fill(command.data.begin(), command.data.end(), uint8_t{0});
  StoreLe32(command.data.first<4>(), static_cast<uint32_t>(command.data.size()));
  command.data[HEADER_TYPE_OFFSET] = HEADER_TYPE_PACKET;
  std::copy(pending_reply_.begin(), pending_reply_.end(),
            command.data.begin() + PIPE_DATA_HEADER_SIZE);
  pending_reply_.clear();
  phase_ = Phase::RECEIVED;
  return ScsiOutcome::GOOD;
}

ScsiOutcome StorageFace::Status(const ScsiCommand& command) {
  if ((phase_ != Phase::WRITTEN && phase_ != Phase::RECEIVED) ||
      command.direction != DataDirection::IN || command.data.size() != STATUS_SIZE) {
    return Refuse(command, Verdict::UNEXPECTED, "status out of order");
  }
  std::fill(command.data.begin(), command.data.end(), uint8_t{0});
  phase_ = Phase::IDLE;
  return ScsiOutcome::GOOD;
}

ScsiOutcome StorageFace::Refuse(const ScsiCommand& command, Verdict verdict, const char* note) {
  ++protocol_errors_;
  log_.Add(clock_.now_ms(), Direction::FROM_HOST, command.cdb, verdict, note);
  return ScsiOutcome::CHECK_CONDITION;
}

}  // namespace pelox::sim
