#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
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

FileHandle Adopt(int fd) { return new PlatformFile{fd}; }

}  // namespace

std::string FileCurrentDirectory() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::current_path(error);
  return error ? std::string() : path.string();
}

char FilePathSeparator() { return '/'; }

FileHandle FileOpenRead(const char* path, uint32_t& error) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = LastError();
    return nullptr;
  }
  // The nearest POSIX has to opening without sharing: an exclusive lock that
  // a second opener of this file is refused.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = LastError();
    close(fd);
    return nullptr;
  }
  return Adopt(fd);
}

FileHandle FileCreate(const char* path, uint32_t& error) {
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

bool FileMapReadOnly(FileHandle file, FileView& view, uint32_t& error) {
  view = FileView{};
  const int64_t size = FileSize(file);
  if (size < 0) {
    error = file == nullptr ? static_cast<uint32_t>(EBADF) : LastError();
    return false;
  }
  // mmap refuses a length of 0: an empty file is an empty view.
  if (size == 0) return true;
  void* address =
      mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, Descriptor(file), 0);
  if (address == MAP_FAILED) {
    error = LastError();
    return false;
  }
  view.data = static_cast<const uint8_t*>(address);
  view.size = static_cast<size_t>(size);
  view.mapping = address;
  return true;
}

void FileUnmap(FileView& view) {
  if (view.mapping != nullptr) munmap(view.mapping, view.size);
  view = FileView{};
}

}  // namespace pelox
