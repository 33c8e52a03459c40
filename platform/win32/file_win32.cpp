#include <windows.h>

#include "platform/file.h"

namespace pelox {

struct PlatformFile {
  HANDLE handle;
};

namespace {

HANDLE Native(FileHandle file) { return file->handle; }

FileHandle OpenFile(const char* path, DWORD access, DWORD disposition, uint32_t& error) {
  if (path == nullptr) {
    error = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  // Share mode 0: nobody else may open the file while we hold it.
  HANDLE handle = CreateFileA(path, access, 0, nullptr, disposition, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return nullptr;
  }
  return new PlatformFile{handle};
}

}  // namespace

std::string FileCurrentDirectory() {
  const DWORD length = GetCurrentDirectoryA(0, nullptr);
  if (length == 0) return std::string();
  std::string path(length, '\0');
  const DWORD written = GetCurrentDirectoryA(length, path.data());
  if (written == 0 || written >= length) return std::string();
  path.resize(written);
  return path;
}

char FilePathSeparator() { return '\\'; }

FileHandle FileOpenRead(const char* path, uint32_t& error) {
  FileHandle file = OpenFile(path, GENERIC_READ, OPEN_EXISTING, error);
  // Only a file on a disk: a pipe or a device is not an image.
  if (file != nullptr && GetFileType(Native(file)) != FILE_TYPE_DISK) {
    FileClose(file);
    error = ERROR_BAD_FILE_TYPE;
    return nullptr;
  }
  return file;
}

FileHandle FileCreate(const char* path, uint32_t& error) {
  return OpenFile(path, GENERIC_WRITE, CREATE_ALWAYS, error);
}

int64_t FileSize(FileHandle file) {
  if (file == nullptr) return -1;
  // GetFileSize, not GetFileSizeEx: Windows 98 and Me lack the latter. A
  // low part of all ones is a size only when no error came with it.
  DWORD high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = GetFileSize(Native(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

int64_t FileRead(FileHandle file, std::span<uint8_t> buffer) {
  if (file == nullptr) return -1;
  DWORD count = 0;
  const DWORD wanted = buffer.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(buffer.size());
  if (!ReadFile(Native(file), buffer.data(), wanted, &count, nullptr)) return -1;
  return static_cast<int64_t>(count);
}

int64_t FileWrite(FileHandle file, std::span<const uint8_t> data) {
  if (file == nullptr) return -1;
  size_t done = 0;
  while (done < data.size()) {
    const std::span<const uint8_t> rest = data.subspan(done);
    const DWORD wanted = rest.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(rest.size());
    DWORD count = 0;
    if (!WriteFile(Native(file), rest.data(), wanted, &count, nullptr) || count == 0) return -1;
    done += count;
  }
  return static_cast<int64_t>(done);
}

bool FileRewind(FileHandle file) {
  return file != nullptr &&
         SetFilePointer(Native(file), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool FileClose(FileHandle file) {
  if (file == nullptr) return false;
  const bool closed = CloseHandle(Native(file)) != 0;
  delete file;
  return closed;
}

}  // namespace pelox
