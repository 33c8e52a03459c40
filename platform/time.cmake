# Local-time conversion, thread-safe on both systems.
pelox_add_platform_library(pelox_platform_time
  POSIX_SOURCES posix/local_time_posix.cpp
  WIN32_SOURCES win32/local_time_win32.cpp)
