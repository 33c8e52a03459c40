# Events, the OS version query and the storage pipe's system entry points.
pelox_add_platform_library(pelox_platform_storage
  POSIX_SOURCES
    posix/storage_event_posix.cpp
    posix/storage_os_version_posix.cpp
    posix/aspi_posix.cpp
    posix/spti_posix.cpp
    posix/sg_posix.cpp
  WIN32_SOURCES
    win32/storage_event_win32.cpp
    win32/storage_os_version_win32.cpp
    win32/aspi_win32.cpp
    win32/spti_win32.cpp
    win32/sg_win32.cpp)
if(NOT WIN32)
  # SG_IO commands reach the port taps.
  target_link_libraries(pelox_platform_storage PUBLIC pelox_platform)
endif()
