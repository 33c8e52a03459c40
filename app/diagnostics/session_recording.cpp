#include "app/diagnostics/session_recording.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "app/diagnostics/recording_lines.h"
#include "app/firmware_image.h"
#include "commands/firmware_commands.h"
#include "platform/sg.h"

namespace pelox {
namespace {

constexpr size_t DATE_CAPACITY = 32;

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::array<char, DATE_CAPACITY> text{};
  std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text.data();
}

// The image as far as the transfer takes it; a larger one is refused anyway.
std::optional<std::vector<uint8_t>> ImageBytes(const std::string& path) {
  // A FIFO or a device would never end, or wait for a writer.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::vector<uint8_t> bytes(FIRMWARE_FILE_MAX_SIZE);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(file.gcount()));
  return bytes;
}

std::string HeaderText(std::span<const uint8_t> image) {
  const std::span<const uint8_t> header = image.first(std::min(image.size(), FIRMWARE_HEADER_SIZE));
  const auto end = std::find(header.begin(), header.end(), uint8_t{0});
  return {header.begin(), end};
}

}  // namespace

void SessionRecording::ReadImage(const UploaderOptions& options, std::string_view image_path) {
  const std::lock_guard lock(mutex_);
  image_ = {BaseName(image_path), std::nullopt, {}};
  if (options.list) return;
  if (std::optional<std::vector<uint8_t>> bytes = ImageBytes(std::string(image_path))) {
    image_.size = static_cast<int64_t>(bytes->size());
    image_.header_text = HeaderText(*bytes);
    if (!options.record_image && bytes->size() > FIRMWARE_HEADER_SIZE) {
      payload_.assign(bytes->begin() + FIRMWARE_HEADER_SIZE, bytes->end());
      redaction_.emplace(payload_);
    }
  }
}

void SessionRecording::Start(const UploaderOptions& options, FILE* file) {
  const std::lock_guard lock(mutex_);
  name_ = options.record_file;
  file_ = file;
  // A file size limit must end the recording, not the program.
  std::signal(SIGXFSZ, SIG_IGN);
  start_ = std::chrono::steady_clock::now();
  WriteLine(RecordingLine(RecordingHeader(options, image_, UtcNow())));
  tapped_ = AddPortTap(*this);
}

void SessionRecording::Finish(std::optional<int> exit_status, std::string_view cause) {
  if (tapped_) RemovePortTap(*this);
  tapped_ = false;
  const std::lock_guard lock(mutex_);
  if (file_ == nullptr) return;
  if (exit_status) WriteLine(RecordingLine(EndEvent(Seconds(), *exit_status, cause, answered_on_)));
  if (file_ != nullptr && std::fclose(file_) != 0 && write_error_ == 0) write_error_ = errno;
  file_ = nullptr;
}

std::string SessionRecording::Problem() const {
  const std::lock_guard lock(mutex_);
  if (write_error_ == 0) return {};
  return "the recording " + name_ + " stopped: " + std::strerror(write_error_);
}

void SessionRecording::SerialOpened(int32_t port, std::string_view path) {
  const std::lock_guard lock(mutex_);
  WriteLine(RecordingLine(SerialOpenedEvent(Seconds(), port, path)));
}

void SessionRecording::SerialBytes(TraceDirection direction, std::span<const uint8_t> bytes) {
  const std::lock_guard lock(mutex_);
  if (file_ == nullptr) return;
  if (direction == TraceDirection::FROM_DEVICE) answered_on_ = "serial";
  WriteLine(RecordingLine(SerialBytesEvent(Seconds(), direction, bytes, Cut(direction, bytes))));
}

void SessionRecording::SerialSpeed(uint32_t baud) {
  const std::lock_guard lock(mutex_);
  WriteLine(RecordingLine(SerialSpeedEvent(Seconds(), baud)));
}

void SessionRecording::SerialFailed(TraceDirection direction) {
  const std::lock_guard lock(mutex_);
  WriteLine(RecordingLine(SerialFailedEvent(Seconds(), direction)));
}

void SessionRecording::SerialClosed() {
  const std::lock_guard lock(mutex_);
  WriteLine(RecordingLine(SerialClosedEvent(Seconds())));
}

void SessionRecording::ScsiCommand(const ScsiTrace& command) {
  const std::lock_guard lock(mutex_);
  if (file_ == nullptr) return;
  if (command.result == SG_DONE) answered_on_ = "storage";
  const std::optional<PayloadRun> cut =
      command.has_data ? Cut(command.direction, command.data) : std::nullopt;
  WriteLine(RecordingLine(ScsiEvent(Seconds(), command, cut)));
}

double SessionRecording::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::optional<PayloadRun> SessionRecording::Cut(TraceDirection direction,
                                                std::span<const uint8_t> bytes) {
  if (!redaction_ || direction != TraceDirection::TO_DEVICE) return std::nullopt;
  return redaction_->Find(bytes);
}

// Each line is flushed: a recording cut short holds every line before the cut.
void SessionRecording::WriteLine(const std::string& line) {
  if (file_ == nullptr) return;
  if (std::fputs(line.c_str(), file_) >= 0 && std::fflush(file_) == 0) return;
  write_error_ = errno != 0 ? errno : EIO;
  std::fclose(file_);
  file_ = nullptr;
}

}  // namespace pelox
