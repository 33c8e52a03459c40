#pragma once
// Opening and closing the files that the library's file forms take: the
// firmware file sent to the camera and the files object reads write into.
#include <cstdint>

#include "platform/devices.h"
#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

/// Opens an existing regular file for reading, without waiting for anything
/// (on Windows also without sharing it).
/// @param path the file's path, zero-terminated.
/// @param error set to the system's error code on failure (on POSIX also
///        EISDIR for a directory, EINVAL for a FIFO, a device or a socket).
/// @return the open file, or null on failure. Close it with FileClose.
FileHandle FileOpenRead(const char* path, uint32_t& error);
/// Creates a file for writing, or truncates the one there, for
/// CameraReadObjectToFile, CameraReadSecondaryToFile or LinkReadObjectToFile.
/// @param path the file's path, zero-terminated.
/// @param error set to the system's error code on failure.
/// @return the open file, or null on failure. Close it with FileClose.
FileHandle FileCreate(const char* path, uint32_t& error);
/// Closes a file opened by FileOpenRead or FileCreate and frees its handle.
/// @return false when the system reports a failure (a write that could not
///         be completed); the handle is freed either way.
bool FileClose(FileHandle file);

}  // namespace pelox
PELOX_API_END
