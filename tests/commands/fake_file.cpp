#include "tests/commands/fake_file.h"

#include <algorithm>

#include "platform/file.h"

namespace pelox {

int64_t FileSize(FileHandle file) {
  return file->size_fails ? -1 : static_cast<int64_t>(file->bytes.size());
}

int64_t FileRead(FileHandle file, std::span<uint8_t> buffer) {
  if (file->read_fails) return -1;
  const size_t end = file->bytes.size() - std::min(file->unreadable_tail, file->bytes.size());
  const size_t count = std::min(buffer.size(), end - std::min(file->position, end));
  std::copy_n(file->bytes.begin() + static_cast<std::ptrdiff_t>(file->position), count,
              buffer.begin());
  file->position += count;
  return static_cast<int64_t>(count);
}

int64_t FileWrite(FileHandle file, std::span<const uint8_t> data) {
  file->bytes.resize(std::max(file->bytes.size(), file->position + data.size()));
  std::copy(data.begin(), data.end(),
            file->bytes.begin() + static_cast<std::ptrdiff_t>(file->position));
  file->position += data.size();
  return static_cast<int64_t>(data.size());
}

bool FileRewind(FileHandle file) {
  if (file->rewind_fails) return false;
  file->position = 0;
  return true;
}

}  // namespace pelox
