#pragma once
/// @file
/// Object commands: the sizes of an object's data and secondary data, and the
/// reads that fetch them into memory or into a file. Unless current-object
/// mode is on, each selects the object first (property 4) and starts again
/// from there when the link was re-established meanwhile. A size from the
/// camera that does not fit the caller's buffer gives LINK_ERROR_UNEXPECTED
/// and nothing is read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/camera_link.h"
#include "platform/devices.h"
#include "platform/export.h"
#include "platform/file_open.h"

PELOX_API_BEGIN
namespace pelox {

inline constexpr uint8_t DATA_KIND_OBJECT = 14;
inline constexpr uint8_t DATA_KIND_SECONDARY = 15;
/// What the object reads fetch in current-object mode, where no size is asked.
inline constexpr uint32_t CURRENT_OBJECT_READ_SIZE = 64000;
/// The camera maker whose secondary data may carry bytes before its JPEG start.
inline constexpr uint16_t VENDOR_CODE_JPEG_OFFSET = 0x04B8;

/// Object numbers start here; a camera refuses to select one it does not hold.
inline constexpr uint32_t FIRST_OBJECT_NUMBER = 1;
/// CameraCountObjects gives up past this many objects.
inline constexpr uint32_t OBJECT_COUNT_LIMIT = 9999;

/// Counts the objects (pictures) the camera holds, numbered from
/// FIRST_OBJECT_NUMBER: selects 1, 2, ... until the camera refuses the
/// selection (LINK_ERROR_CAMERA_ERROR), which ends the count.
/// @param count set to the number of objects on success only.
/// @param link the camera's link.
/// @return LINK_OK; the failing selection's code other than a refusal;
///         LINK_ERROR_UNEXPECTED when the camera takes every number up to
///         OBJECT_COUNT_LIMIT; LINK_ERROR_NO_LINK for a null link.
int32_t CameraCountObjects(uint32_t& count, CameraLink* link);

/// The size of the object's data or secondary data in bytes, apart from the
/// code: LINK_OK with `size` set, the failed selection's or get's code with
/// `size` left as it was. In current-object mode nothing is selected.
[[nodiscard]] LinkError CameraGetObjectSizeChecked(uint32_t object, uint32_t& size,
                                                   CameraLink* link);
/// As CameraGetObjectSizeChecked, for the secondary data.
[[nodiscard]] LinkError CameraGetSecondarySizeChecked(uint32_t object, uint32_t& size,
                                                      CameraLink* link);
/// The size in bytes, or -1 (also when the selection fails).
[[deprecated("a size from 2^31 reads negative: use CameraGetObjectSizeChecked")]] int32_t
CameraGetObjectSize(uint32_t object, CameraLink* link);
/// As CameraGetObjectSize, for the secondary data.
[[deprecated("a size from 2^31 reads negative: use CameraGetSecondarySizeChecked")]] int32_t
CameraGetSecondarySize(uint32_t object, CameraLink* link);
/// Property 39 of the object, or -1.
int32_t CameraGet39(uint32_t object, CameraLink* link);

/// Return LINK_OK, the failed selection's code, LINK_ERROR_EMPTY_OBJECT for a
/// size of 0, LINK_ERROR_UNEXPECTED for one the buffer cannot hold (in
/// current-object mode LINK_ERROR_INVALID_ARGUMENT for a buffer below
/// CURRENT_OBJECT_READ_SIZE), or the failing get's or read's code.
int32_t CameraReadObject(std::span<uint8_t> buffer, uint32_t object, CameraLink* link);
/// For the maker 0x04B8, data that does not start with the JPEG marker FF D8
/// is moved so that it does, when the marker is found in it.
int32_t CameraReadSecondary(std::span<uint8_t> buffer, uint32_t object, CameraLink* link);
/// Return LinkReadObjectToFile's code.
int32_t CameraReadObjectToFile(FileHandle file, uint32_t object, CameraLink* link);
/// As CameraReadObjectToFile, for the secondary data.
int32_t CameraReadSecondaryToFile(FileHandle file, uint32_t object, CameraLink* link);
/// Reads the camera's current object without selecting it or repeating:
/// stores the size the camera gives (or -1), then reads that much. Returns
/// LINK_OK, LINK_RESTART, LINK_ERROR_EMPTY_OBJECT, LINK_ERROR_UNEXPECTED for a
/// size the buffer cannot hold, or the failing get's or read's code.
int32_t CameraReadCurrentObject(std::span<uint8_t> buffer, int32_t& size, CameraLink* link);

}  // namespace pelox
PELOX_API_END
