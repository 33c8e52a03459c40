#pragma once
/// @file
/// The commands the uploader issues: the camera checks (maker, firmware
/// version, battery), the transfer of the firmware file or image, and the
/// action that makes the camera write it. Each takes the link last, leaves its
/// outcome in LinkLastError and returns a code (queries: the value or -1).
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/camera_link.h"
#include "platform/devices.h"
#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

/// The maker and version texts: zero-terminated unless the camera fills all 32.
inline constexpr size_t CAMERA_TEXT_SIZE = 32;

inline constexpr uint8_t PROPERTY_BATTERY_LEVEL = 16;
inline constexpr uint8_t PROPERTY_UPLOAD_KEY = 32;
inline constexpr uint8_t DATA_KIND_FIRMWARE_VERSION = 26;
inline constexpr uint8_t DATA_KIND_FIRMWARE = 29;
inline constexpr uint8_t DATA_KIND_MAKER = 48;
inline constexpr uint8_t ACTION_WRITE_FIRMWARE = 11;

inline constexpr uint32_t FIRMWARE_FILE_MAX_SIZE = 2097152;
inline constexpr size_t FIRMWARE_IMAGE_MAX_SIZE = 10485760;
/// The key the application passes for its file transfer.
inline constexpr uint32_t FIRMWARE_FILE_UPLOAD_KEY = 0x05A3C7D1;
/// The key an in-memory image is always sent with.
inline constexpr uint32_t FIRMWARE_IMAGE_UPLOAD_KEY = 0x0C4B0D27;
/// The pause before the write action, and how long the camera may stay busy.
inline constexpr uint32_t FIRMWARE_WRITE_DELAY_MS = 500;
inline constexpr uint32_t FIRMWARE_WRITE_BUSY_MS = 60000;

/// Return LinkReadBlock's code.
int32_t CameraGetVendor(std::span<char, CAMERA_TEXT_SIZE> text, CameraLink* link);
/// Reads the camera's firmware version text: LinkReadBlock's code.
int32_t CameraGetFirmwareVersion(std::span<char, CAMERA_TEXT_SIZE> text, CameraLink* link);
/// The firmware family: the version text's first characters, which name the
/// camera model's firmware line.
inline constexpr size_t CAMERA_FAMILY_SIZE = 4;

/// Reads the firmware version and gives its family, which tells camera
/// models apart, as a zero-terminated text.
/// @param family written on success only.
/// @param link the camera's link.
/// @return LINK_OK, the version read's code, or LINK_ERROR_UNEXPECTED for a
///         version text shorter than the family.
int32_t CameraGetFirmwareFamily(std::span<char, CAMERA_FAMILY_SIZE + 1> family, CameraLink* link);

/// 0 to 100, or -1 (an answer above 100 leaves LINK_ERROR_UNEXPECTED in
/// LinkLastError).
int32_t CameraGetBatteryLevel(CameraLink* link);
/// The level apart from the code: LinkGetValueChecked's.
int32_t CameraGetBatteryLevelChecked(uint32_t& level, CameraLink* link);

/// Returns LinkSetValue's code.
int32_t CameraSetUploadKey(uint32_t key, CameraLink* link);
/// The key, or -1.
int32_t CameraGetUploadKey(CameraLink* link);
/// The key apart from the code, so that a key of 0xFFFFFFFF reads as itself.
int32_t CameraGetUploadKeyChecked(uint32_t& key, CameraLink* link);

/// Writes the key, then sends the whole file. The key stays written even when
/// the file is then refused. Returns the set's code or
/// CameraSendFirmwareFile's.
int32_t CameraUploadFirmwareFile(FileHandle file, uint32_t key, CameraLink* link);
/// Sends the whole open file, from its first byte, as firmware data: the
/// write's code, LINK_ERROR_COMMAND when its size is unknown or above
/// FIRMWARE_FILE_MAX_SIZE, LINK_ERROR_INTERNAL when it cannot be rewound,
/// held or read in full (nothing is sent then).
int32_t CameraSendFirmwareFile(FileHandle file, CameraLink* link);
/// Writes the key, then sends the bytes of a firmware file read beforehand:
/// LINK_ERROR_COMMAND above FIRMWARE_FILE_MAX_SIZE, as for the file itself
/// (the key stays written), else the set's or the write's code.
int32_t CameraUploadFirmwareData(std::span<const uint8_t> data, uint32_t key, CameraLink* link);
/// Writes the image key, then sends the image: LINK_ERROR_COMMAND above
/// FIRMWARE_IMAGE_MAX_SIZE (no key written), else the set's or write's code.
int32_t CameraUploadFirmwareImage(std::span<const uint8_t> image, CameraLink* link);
/// Waits 500 ms, then starts the camera's firmware write (busy up to 60 s).
int32_t CameraWriteFirmware(CameraLink* link);

}  // namespace pelox
PELOX_API_END
