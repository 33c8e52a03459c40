#pragma once
// The desktop window's own texts beside the dialog's string table: its
// caption and buttons as the dialog template has them, the names screen
// readers announce, and the serial port choice.
namespace pelox {

inline constexpr const char* TEXT_CAPTION = "Pelox Firmware Uploader";
inline constexpr const char* TEXT_UPLOAD = "Upload";
inline constexpr const char* TEXT_CLOSE = "Close";
inline constexpr const char* TEXT_MESSAGE_NAME = "Message";
inline constexpr const char* TEXT_DETAIL_NAME = "Details";
inline constexpr const char* TEXT_PROGRESS_NAME = "Progress";
inline constexpr const char* TEXT_PORTS_NAME = "Serial ports";
inline constexpr const char* TEXT_PORTS_LABEL =
    "No camera answered on USB. If it is on a serial cable, choose its port:";
inline constexpr const char* TEXT_CHOOSE_IMAGE = "Choose the firmware image";
inline constexpr const char* TEXT_FIRMWARE_IMAGES = "Firmware images";
inline constexpr const char* TEXT_ALL_FILES = "All files";
// The icon and the desktop entry share this name.
inline constexpr const char* ICON_NAME = "org.example.pelox_uploader.gui";

}  // namespace pelox
