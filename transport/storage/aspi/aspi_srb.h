#pragma once
// The ASPI request blocks, byte for byte as the 32-bit library reads them.
// Pointer slots are four bytes; the platform fills them (platform/aspi.h).
#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/aspi.h"

namespace pelox {

inline constexpr uint8_t SC_HA_INQUIRY = 0x00;
inline constexpr uint8_t SC_GET_DEV_TYPE = 0x01;
inline constexpr uint8_t SC_EXEC_SCSI_CMD = ASPI_EXEC_SCSI_CMD;
inline constexpr uint8_t SRB_DIR_IN = 0x08;
inline constexpr uint8_t SRB_DIR_OUT = 0x10;
inline constexpr uint8_t SRB_EVENT_NOTIFY = 0x40;
inline constexpr uint8_t SENSE_LEN = 14;

#pragma pack(push, 1)

struct SRB_HAInquiry {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t HA_Count;
  uint8_t HA_SCSI_ID;
  std::array<uint8_t, 16> HA_ManagerId;
  std::array<uint8_t, 16> HA_Identifier;
  std::array<uint8_t, 16> HA_Unique;
  uint16_t HA_Rsvd1;
};

struct SRB_GetDevType {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint8_t SRB_DeviceType;
  uint8_t SRB_Rsvd1;
};

struct SRB_ExecSCSICmd {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint16_t SRB_Rsvd1;
  uint32_t SRB_BufLen;
  uint32_t SRB_BufPointer;
  uint8_t SRB_SenseLen;
  uint8_t SRB_CDBLen;
  uint8_t SRB_HaStat;
  uint8_t SRB_TargStat;
  uint32_t SRB_PostProc;
  std::array<uint8_t, 20> SRB_Rsvd2;
  std::array<uint8_t, 16> CDBByte;
  std::array<uint8_t, SENSE_LEN + 2> SenseArea;
};

#pragma pack(pop)

static_assert(sizeof(SRB_HAInquiry) == 60);
static_assert(offsetof(SRB_HAInquiry, HA_Count) == 8);
static_assert(offsetof(SRB_HAInquiry, HA_ManagerId) == 10);
static_assert(offsetof(SRB_HAInquiry, HA_Rsvd1) == 58);

static_assert(sizeof(SRB_GetDevType) == 12);
static_assert(offsetof(SRB_GetDevType, SRB_Target) == 8);
static_assert(offsetof(SRB_GetDevType, SRB_DeviceType) == 10);

static_assert(sizeof(SRB_ExecSCSICmd) == 80);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Target) == 8);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufLen) == 12);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == ASPI_BUFFER_SLOT_OFFSET);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 20);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_CDBLen) == 21);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == ASPI_POST_PROC_SLOT_OFFSET);
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 48);
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == 64);

}  // namespace pelox
