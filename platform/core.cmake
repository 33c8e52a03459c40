pelox_add_platform_library(pelox_platform
  POSIX_SOURCES posix/clock_posix.cpp posix/serial_posix.cpp posix/serial_map_posix.cpp
    posix/port_tap_posix.cpp
  WIN32_SOURCES win32/clock_win32.cpp win32/serial_win32.cpp)
# The COM-number map takes a lock.
target_link_libraries(pelox_platform PUBLIC pelox_platform_threads)
