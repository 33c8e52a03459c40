// Lists the pictures a camera holds and downloads every one into a
// directory, with its thumbnail and its sound (expanded by the library's
// decoder when the camera sends it compressed), showing each file's
// progress. Ctrl-C stops the download under way at once; the file it was
// writing is removed and the program exits with 130. The camera is looked
// for on the USB storage pipe, then on the serial device given (as COM1).
//   download-pictures DIRECTORY [SERIAL-DEVICE]
// Files: DIRECTORY/picture-0001.jpg, picture-0001-thumbnail.jpg (when the
// camera holds one) and picture-0001.wav (when the picture has a sound).
#include <pelox/pelox.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr int32_t SPEED_115200 = 5;  // index into the link's speed table
constexpr int STOPPED_STATUS = 130;  // as a shell reports a program ended by SIGINT
// A sound larger than this is not held in memory, whatever the camera says.
constexpr uint32_t LARGEST_SOUND = 64 * 1024 * 1024;

std::atomic<int> stop_requested{0};
static_assert(std::atomic<int>::is_always_lock_free, "the flag is set from a signal handler");

void RequestStop(int) { stop_requested = 1; }

// The progress of the file under way, on standard error; 0 cancels the
// read when Ctrl-C was pressed.
int32_t ShowProgress(void* user, int32_t, int32_t percent) {
  std::fprintf(stderr, "\r  %s %3d%%", static_cast<const char*>(user), static_cast<int>(percent));
  return stop_requested ? 0 : 1;
}

class Download {
 public:
  Download(std::string directory, pelox::CameraLink* link)
      : directory_(std::move(directory)), link_(link) {}

  // 0 when every picture arrived, 1 on a failure, STOPPED_STATUS on Ctrl-C.
  int All() {
    uint32_t count = 0;
    if (!Check("counting the pictures", pelox::CameraCountObjects(count, link_))) return Status();
    std::printf("the camera holds %u pictures\n", static_cast<unsigned>(count));
    for (uint32_t number = pelox::FIRST_OBJECT_NUMBER; number < pelox::FIRST_OBJECT_NUMBER + count;
         ++number) {
      if (!Picture(number)) return Status();
    }
    std::printf("downloaded %u pictures, %u thumbnails, %u sounds: %llu bytes\n",
                static_cast<unsigned>(count), thumbnails_, sounds_,
                static_cast<unsigned long long>(bytes_));
    return 0;
  }

 private:
  int Status() const { return stop_requested ? STOPPED_STATUS : 1; }

  static bool Check(const char* what, int32_t code) {
    if (code == pelox::LINK_OK) return true;
    const std::string_view text = pelox::LinkErrorText(code);
    std::fprintf(stderr, "\ndownload-pictures: %s failed: %.*s (link error %d)\n", what,
                 static_cast<int>(text.size()), text.data(), static_cast<int>(code));
    return false;
  }

  std::string PathOf(uint32_t number, const char* suffix) const {
    std::array<char, 32> name{};
    std::snprintf(name.data(), name.size(), "/picture-%04u%s", static_cast<unsigned>(number),
                  suffix);
    return directory_ + name.data();
  }

  // How a read into a file of its own ended.
  enum class Saved { FILE, EMPTY, FAILED };

  // Runs one read into a new file, showing progress under the file's name;
  // a read that fails, is stopped or finds the object empty leaves no file.
  template <typename Read>
  Saved ToFile(const std::string& path, Read read) {
    uint32_t error = 0;
    pelox::FileHandle file = pelox::FileCreate(path.c_str(), error);
    if (file == nullptr) {
      std::fprintf(stderr, "download-pictures: cannot create %s (error %u)\n", path.c_str(),
                   static_cast<unsigned>(error));
      return Saved::FAILED;
    }
    const int32_t code = WithProgress(path, [&] { return read(file); });
    const bool closed = pelox::FileClose(file);
    if (code == pelox::LINK_OK && closed) {
      bytes_ += pelox::LinkBytesReceived(link_);
      std::fprintf(stderr, "\r  %s: %u bytes\n", path.c_str(),
                   static_cast<unsigned>(pelox::LinkBytesReceived(link_)));
      return Saved::FILE;
    }
    std::remove(path.c_str());
    if (code == pelox::LINK_ERROR_EMPTY_OBJECT) return Saved::EMPTY;
    if (Check(path.c_str(), code))
      std::fprintf(stderr, "download-pictures: cannot write %s\n", path.c_str());
    return Saved::FAILED;
  }

  // Runs a read with its progress shown under the name.
  template <typename Read>
  int32_t WithProgress(const std::string& name, Read read) {
    shown_ = name;
    pelox::LinkSetProgressCallback(ShowProgress, shown_.data(), link_);
    const int32_t code = read();
    pelox::LinkSetProgressCallback(nullptr, nullptr, link_);
    return code;
  }

  bool Picture(uint32_t number) {
    const Saved data = ToFile(PathOf(number, ".jpg"), [&](pelox::FileHandle file) {
      return pelox::CameraReadObjectToFile(file, number, link_);
    });
    if (data != Saved::FILE) {
      if (data == Saved::EMPTY) Check("reading the picture", pelox::LINK_ERROR_EMPTY_OBJECT);
      return false;
    }
    const Saved thumbnail = ToFile(PathOf(number, "-thumbnail.jpg"), [&](pelox::FileHandle file) {
      return pelox::CameraReadSecondaryToFile(file, number, link_);
    });
    if (thumbnail == Saved::FAILED) return false;
    if (thumbnail == Saved::FILE) ++thumbnails_;
    return Sound(number);
  }

  // The sound, read into memory because the decoder expands it in place.
  bool Sound(uint32_t number) {
    uint32_t size = 0;
    const pelox::LinkError asked = pelox::CameraGetSoundSizeChecked(number, size, link_);
    if (asked != pelox::LINK_OK || size > LARGEST_SOUND) {
      return Check("asking for the sound's size",
                   asked != pelox::LINK_OK ? asked : pelox::LINK_ERROR_UNEXPECTED);
    }
    if (size == 0) return true;
    std::vector<uint8_t> sound(static_cast<size_t>(size));
    const std::string path = PathOf(number, ".wav");
    const int32_t code =
        WithProgress(path, [&] { return pelox::CameraReadSound(sound, number, link_); });
    if (code == pelox::LINK_ERROR_EMPTY_OBJECT) return true;
    if (!Check(path.c_str(), code)) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr &&
                         std::fwrite(sound.data(), 1, sound.size(), file) == sound.size() &&
                         std::fclose(file) == 0;
    if (!written) {
      std::fprintf(stderr, "\ndownload-pictures: cannot write %s\n", path.c_str());
      std::remove(path.c_str());
      return false;
    }
    bytes_ += sound.size();
    ++sounds_;
    std::fprintf(stderr, "\r  %s: %zu bytes decoded\n", path.c_str(), sound.size());
    return true;
  }

  std::string directory_;
  pelox::CameraLink* link_;
  std::string shown_;  // the name the progress shows
  unsigned thumbnails_ = 0;
  unsigned sounds_ = 0;
  unsigned long long bytes_ = 0;
};

int Fail(const char* what, int32_t code) {
  const std::string_view text = pelox::LinkErrorText(code);
  std::fprintf(stderr, "download-pictures: %s failed: %.*s (link error %d)\n", what,
               static_cast<int>(text.size()), text.data(), static_cast<int>(code));
  pelox::LinkDestroyAll();
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: download-pictures DIRECTORY [SERIAL-DEVICE]\n");
    return 2;
  }
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);

  // Only the device given is probed: nothing else stands behind COM1 or COM2.
  pelox::SerialMapDevice(pelox::PORT_TYPE_COM_FIRST, argc > 2 ? argv[2] : "");
  pelox::SerialMapDevice(pelox::PORT_TYPE_COM_FIRST + 1, "");
  pelox::StorageTransportInit(pelox::STORAGE_INIT_REQUEST);

  pelox::CameraLink* link = pelox::LinkCreate();
  if (link == nullptr) return Fail("creating the link", pelox::LINK_ERROR_NO_LINK);
  // The flag also ends the waits of a call under way, not only transfers.
  pelox::LinkSetStopFlag(&stop_requested, link);
  int32_t code = pelox::LinkSetSpeed(SPEED_115200, link);
  if (code != pelox::LINK_OK) return Fail("setting the speed", code);
  int32_t port_type = pelox::PORT_TYPE_NONE;
  code = pelox::LinkOpenPortChecked(pelox::LINK_PORT_AUTOMATIC, port_type, link);
  if (code != pelox::LINK_OK) return Fail("finding a camera", code);
  code = pelox::LinkConnect(pelox::LINK_CONNECT, link);
  if (code != pelox::LINK_OK) return Fail("connecting", code);

  const int status = Download(argv[1], link).All();
  if (status == STOPPED_STATUS) std::fprintf(stderr, "download-pictures: stopped\n");
  pelox::LinkConnect(pelox::LINK_DISCONNECT, link);
  pelox::LinkDestroyAll();
  return status;
}
