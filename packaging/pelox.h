#pragma once
// The pelox camera protocol library in one include: the camera link, the
// camera commands, the port layer, the storage pipe and camera discovery.
#include <pelox/commands/camera_commands.h>
#include <pelox/link/camera_link.h>
#include <pelox/link/error_text.h>
#include <pelox/link/exchanges.h>
#include <pelox/link/link_events.h>
#include <pelox/link/link_info.h>
#include <pelox/link/packet.h>
#include <pelox/link/packet_io.h>
#include <pelox/link/range_table.h>
#include <pelox/link/serial_handshake.h>
#include <pelox/link/speed_table.h>
#include <pelox/platform/local_time.h>
#include <pelox/platform/serial_map.h>
#include <pelox/transport/byte_order.h>
#include <pelox/transport/discovery/camera_vendor.h>
#include <pelox/transport/discovery/device_table.h>
#include <pelox/transport/port/port.h>
#include <pelox/transport/storage/storage_ops.h>
