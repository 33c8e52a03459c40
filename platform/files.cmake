# Files and read-only mappings. Tests link the real backend too: component
# tests work on real files in a temporary folder.
pelox_add_platform_library(pelox_platform_files
  POSIX_SOURCES posix/file_posix.cpp
  WIN32_SOURCES win32/file_win32.cpp)
