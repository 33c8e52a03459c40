#pragma once
// Files: the firmware image (opened without sharing on Windows, shared with
// other readers elsewhere) and the destination files of object reads.
#include <cstdint>
#include <span>
#include <string>

#include "platform/devices.h"

namespace pelox {

// The process's current directory and the separator its paths use.
std::string FileCurrentDirectory();
char FilePathSeparator();

// Opens an existing regular file for reading, without waiting for anything
// (on Windows also without sharing it); null on failure with the system
// error in `error` (on POSIX EISDIR for a directory, EINVAL for a FIFO, a
// device or a socket).
FileHandle FileOpenRead(const char* path, uint32_t& error);
// Creates or truncates a file for writing; null on failure.
FileHandle FileCreate(const char* path, uint32_t& error);
// Size in bytes, or -1 when it cannot be read.
int64_t FileSize(FileHandle file);
// Bytes read (0 at the end), or -1 on failure.
int64_t FileRead(FileHandle file, std::span<uint8_t> buffer);
// Bytes written, or -1 on failure.
int64_t FileWrite(FileHandle file, std::span<const uint8_t> data);
// Back to the first byte; false on failure.
bool FileRewind(FileHandle file);
bool FileClose(FileHandle file);

}  // namespace pelox
