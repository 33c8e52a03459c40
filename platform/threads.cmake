# Threads and locks. Real in tests too: the worker tests run real threads.
pelox_add_platform_library(pelox_platform_threads
  POSIX_SOURCES posix/thread_posix.cpp
  WIN32_SOURCES win32/thread_win32.cpp)
