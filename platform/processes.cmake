# The companion software's processes, registry values and window. It exists
# on Windows only; the POSIX backend finds nothing.
pelox_add_platform_library(pelox_platform_processes
  POSIX_SOURCES posix/processes_posix.cpp
  WIN32_SOURCES win32/processes_win32.cpp)
