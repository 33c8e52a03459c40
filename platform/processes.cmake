# The companion software's processes, registry values and window. It exists
# on Windows only; the POSIX backend finds nothing.
if(WIN32)
  add_library(pelox_platform_processes STATIC win32/processes_win32.cpp)
else()
  add_library(pelox_platform_processes STATIC posix/processes_posix.cpp)
endif()
target_include_directories(pelox_platform_processes PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(pelox_platform_processes PRIVATE pelox_warnings)
