#pragma once
/// @file
/// The pelox camera protocol library in one include: the camera link, the
/// camera commands, the port layer, the storage pipe and camera discovery.
///
/// Threads. The library starts no thread of its own: every call runs on its
/// caller's thread, and so do the callbacks it makes (progress, link events,
/// reconnect check).
/// - One link: one call at a time. A link may pass from thread to thread
///   (one connects, another transfers), but its calls must not overlap, with
///   two exceptions. The flag given to LinkSetStopFlag may be set from any
///   thread, or a signal handler, at any time. Chunked reads (LinkReadData,
///   LinkReadDataUpTo, LinkReadObjectToFile and the commands that read
///   objects, sounds and data blocks through them) take turns: one that
///   starts while another runs on the same link waits until it has ended.
/// - Different links: their calls may run on different threads at once.
///   Creating and deleting links, the storage pipe's discovery and claims
///   (each link claims a camera of its own) and the COM-number map
///   (SerialMapDevice and the Serial...(port) queries) are guarded. The
///   program opens one serial port at a time (PortOpenCom refuses while any
///   port is open), so links that run at once use the storage pipe.
/// - The device table (DeviceCount, DeviceTableEntry, the Discovery...
///   queries) is the last discovery's, which another link's storage open
///   may redo: read it while no other thread opens the storage pipe.
/// - The sound decoder's state is one for the whole program: sound reads
///   that expand compressed sound (CameraReadSound,
///   CameraReadObjectAndSound), DecodeSoundSamples and DecodeSoundNibble
///   must not overlap, on any links.
/// - StorageTransportInit runs once, before the first link; LinkDestroyAll
///   and the tests' resets only while no other thread uses a link.
#include <pelox/commands/camera_commands.h>
#include <pelox/link/camera_link.h>
#include <pelox/link/error_text.h>
#include <pelox/link/library_version.h>
#include <pelox/link/link_events.h>
#include <pelox/link/link_info.h>
#include <pelox/link/range_table.h>
#include <pelox/link/speed_table.h>
#include <pelox/platform/file_open.h>
#include <pelox/platform/local_time.h>
#include <pelox/platform/serial_map.h>
#include <pelox/transport/byte_order.h>
#include <pelox/transport/code_text.h>
#include <pelox/transport/discovery/camera_vendor.h>
#include <pelox/transport/discovery/device_table.h>
#include <pelox/transport/port/port.h>
#include <pelox/transport/storage/storage_init.h>
