#pragma once
// Files: the firmware image (opened without sharing on Windows, shared with
// other readers elsewhere) and the destination files of object reads.
#include <cstdint>
#include <span>
#include <string>

#include "platform/devices.h"
#include "platform/file_open.h"

namespace pelox {

// The process's current directory and the separator its paths use.
std::string FileCurrentDirectory();
char FilePathSeparator();

// Size in bytes, or -1 when it cannot be read.
int64_t FileSize(FileHandle file);
// Bytes read (0 at the end), or -1 on failure.
int64_t FileRead(FileHandle file, std::span<uint8_t> buffer);
// Bytes written, or -1 on failure.
int64_t FileWrite(FileHandle file, std::span<const uint8_t> data);
// Back to the first byte; false on failure.
bool FileRewind(FileHandle file);

}  // namespace pelox
