#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/file.h"

namespace pelox {

struct PlatformFile {
  int fd;
};

namespace {

int Descriptor(FileHandle file) { return file->fd; }

uint32_t LastError() { return static_cast<uint32_t>(errno); }

FileHandle Refuse(int code, uint32_t& error) {
  error = static_cast<uint32_t>(code);
  return nullptr;
}

FileHandle Adopt(int fd) { return new PlatformFile{fd}; }

}  // namespace

std::string FileCurrentDirectory() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::current_path(error);
  return error ? std::string() : path.string();
}

char FilePathSeparator() { return '/'; }

FileHandle FileOpenRead(const char* path, uint32_t& error) {
  if (path == nullptr) return Refuse(EINVAL, error);
  // Non-blocking, so that a FIFO or a device cannot hold the open; only a
  // regular file is taken. No lock: the image is read once into memory, and
  // several uploaders may read one file at once.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = LastError();
    return nullptr;
  }
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    error = static_cast<uint32_t>(S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
    close(fd);
    return nullptr;
  }
  return Adopt(fd);
}

FileHandle FileCreate(const char* path, uint32_t& error) {
  if (path == nullptr) return Refuse(EINVAL, error);
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = LastError();
    return nullptr;
  }
  return Adopt(fd);
}

int64_t FileSize(FileHandle file) {
  struct stat status {};
  if (file == nullptr || fstat(Descriptor(file), &status) != 0) return -1;
  return static_cast<int64_t>(status.st_size);
}

int64_t FileRead(FileHandle file, std::span<uint8_t> buffer) {
  if (file == nullptr) return -1;
  ssize_t count = 0;
  do {
    count = read(Descriptor(file), buffer.data(), buffer.size());
  } while (count < 0 && errno == EINTR);
  return static_cast<int64_t>(count);
}

int64_t FileWrite(FileHandle file, std::span<const uint8_t> data) {
  if (file == nullptr) return -1;
  size_t done = 0;
  while (done < data.size()) {
    const std::span<const uint8_t> rest = data.subspan(done);
    const ssize_t count = write(Descriptor(file), rest.data(), rest.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return -1;
    done += static_cast<size_t>(count);
  }
  return static_cast<int64_t>(done);
}

bool FileRewind(FileHandle file) {
  return file != nullptr && lseek(Descriptor(file), 0, SEEK_SET) == 0;
}

bool FileClose(FileHandle file) {
  if (file == nullptr) return false;
  const bool closed = close(Descriptor(file)) == 0;
  delete file;
  return closed;
}

}  // namespace pelox
