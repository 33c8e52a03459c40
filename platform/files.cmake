# Files and read-only mappings. Tests link the real backend too: component
# tests work on real files in a temporary folder.
if(WIN32)
  add_library(pelox_platform_files STATIC win32/file_win32.cpp)
else()
  add_library(pelox_platform_files STATIC posix/file_posix.cpp)
endif()
target_include_directories(pelox_platform_files PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(pelox_platform_files PRIVATE pelox_warnings)
