#pragma once
// The desktop window's own texts beside the dialog's string table: its
// caption and buttons as the dialog template has them (with mnemonics), the
// phases in words, the remedies it offers, the names screen readers
// announce, and the serial port choice.
namespace pelox {

inline constexpr const char* TEXT_CAPTION = "Pelox Firmware Uploader";
inline constexpr const char* TEXT_UPLOAD = "&Upload";
inline constexpr const char* TEXT_CLOSE = "&Close";
inline constexpr const char* TEXT_CANCEL = "Ca&ncel";
inline constexpr const char* TEXT_INSTALL_ANYWAY = "&Install anyway";
inline constexpr const char* TEXT_INSTALL_OLDER = "Install &older version";
inline constexpr const char* TEXT_CHECK_AGAIN = "Check &again";
inline constexpr const char* TEXT_CHOOSE_IMAGE_BUTTON = "C&hoose image…";
inline constexpr const char* TEXT_MESSAGE_NAME = "Message";
inline constexpr const char* TEXT_PROGRESS_NAME = "Progress";
inline constexpr const char* TEXT_PORTS_NAME = "Serial ports";
inline constexpr const char* TEXT_PORTS_LABEL =
    "No camera answered on USB. If it is on a serial cable, choose its port:";
inline constexpr const char* TEXT_CHOOSE_IMAGE = "Choose the firmware image";
inline constexpr const char* TEXT_FIRMWARE_IMAGES = "Firmware images";
inline constexpr const char* TEXT_ALL_FILES = "All files";

inline constexpr const char* TEXT_SEARCHING = "Looking for the camera…";
inline constexpr const char* TEXT_CHECKING_IMAGE = "Checking the image…";
inline constexpr const char* TEXT_CHECKING_CAMERA = "Checking the camera…";
inline constexpr const char* TEXT_TRANSFERRING = "Sending the image to the camera: %1 %";
inline constexpr const char* TEXT_WRITING = "The camera is writing its new firmware…";
inline constexpr const char* TEXT_STALLED =
    "The camera stopped answering… Cancel ends the transfer; the camera keeps its old firmware.";
inline constexpr const char* TEXT_READING_VERSION = "Reading the camera's version…";
inline constexpr const char* TEXT_CAMERA_FOUND = "Camera: %1 on %2";
inline constexpr const char* TEXT_VERSIONS = "Firmware: version %1 → version %2";
inline constexpr const char* TEXT_NOW_REPORTS = "The camera now reports version %1.";
inline constexpr const char* TEXT_VERSION_UNREAD = "The camera's version could not be read.";
inline constexpr const char* TEXT_UPDATE_TOOK =
    "The camera reports version %1: the update took.";
inline constexpr const char* TEXT_UPDATE_NOT_TAKEN =
    "The camera reports version %1: the update did not take; it keeps its old firmware and may be "
    "updated again.";
inline constexpr const char* TEXT_UPDATE_UNKNOWN =
    "The camera reports version %1, which it had before: whether it was written again cannot be "
    "told.";
inline constexpr const char* TEXT_CONFIRM_SAME =
    "The camera already has version %1. Write version %2 to it again?";
inline constexpr const char* TEXT_CONFIRM_OLDER =
    "The camera has version %1. Replace it with the older version %2?";
// The icon and the desktop entry share this name.
inline constexpr const char* ICON_NAME = "org.example.pelox_uploader.gui";

}  // namespace pelox
