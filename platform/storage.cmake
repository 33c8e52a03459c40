# Events, the OS version query and the storage pipe's system entry points.
if(WIN32)
  add_library(pelox_platform_storage STATIC
    win32/storage_event_win32.cpp
    win32/storage_os_version_win32.cpp
    win32/aspi_win32.cpp
    win32/spti_win32.cpp
    win32/sg_win32.cpp)
else()
  add_library(pelox_platform_storage STATIC
    posix/storage_event_posix.cpp
    posix/storage_os_version_posix.cpp
    posix/aspi_posix.cpp
    posix/spti_posix.cpp
    posix/sg_posix.cpp)
endif()
target_include_directories(pelox_platform_storage PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(pelox_platform_storage PRIVATE pelox_warnings)
