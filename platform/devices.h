#pragma once
/// @file
/// Opaque handles of the operating-system objects the library holds. Each
/// backend (real or simulated) defines what stands behind them.
#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

struct SerialDevice;
struct DriveDevice;
struct PlatformEvent;
struct PlatformFile;

using SerialHandle = SerialDevice*;
using DriveHandle = DriveDevice*;
using EventHandle = PlatformEvent*;
using FileHandle = PlatformFile*;

}  // namespace pelox
PELOX_API_END
