#include "transport/storage/pipe_format.h"

#include "transport/discovery/camera_vendor.h"

namespace pelox {
namespace {

constexpr OpcodeSet OLYMPUS_OPCODES{0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5};
constexpr OpcodeSet EPSON_OPCODES{0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5};
constexpr OpcodeSet PELOX_OPCODES{0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5};
constexpr OpcodeSet MINOLTA_OPCODES{0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD};
constexpr OpcodeSet SANYO_OPCODES{0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5};

// These makers' cameras take a flagged CDB and no close command.
bool IsFlaggedMaker(uint16_t vendor_code) {
  return vendor_code == VENDOR_OLYMPUS || vendor_code == VENDOR_SANYO;
}

}  // namespace

const OpcodeSet* PipeOpcodesFor(uint16_t vendor_code) {
  switch (vendor_code) {
    case VENDOR_OLYMPUS: return &OLYMPUS_OPCODES;
    case VENDOR_EPSON: return &EPSON_OPCODES;
    case VENDOR_PELOX: return &PELOX_OPCODES;
    case VENDOR_MINOLTA: return &MINOLTA_OPCODES;
    case VENDOR_SANYO: return &SANYO_OPCODES;
    default: return nullptr;
  }
}

uint8_t PipeMakerFlagFor(uint16_t vendor_code) { return IsFlaggedMaker(vendor_code) ? 1 : 0; }

bool PipeSendsCloseTo(uint16_t vendor_code) { return !IsFlaggedMaker(vendor_code); }

}  // namespace pelox
