# The camera protocol library for other programs: the protocol together with
# the real platform backends it calls, shared (versioned, with a SONAME) and
# static, its headers under pelox/, a CMake package and a pkg-config file.
set(library_parts pelox pelox_platform pelox_platform_files pelox_platform_storage
    pelox_platform_time pelox_platform_threads)
set_target_properties(${library_parts} PROPERTIES POSITION_INDEPENDENT_CODE ON)
set(library_objects)
foreach(part ${library_parts})
  list(APPEND library_objects $<TARGET_OBJECTS:${part}>)
endforeach()

add_library(pelox_shared SHARED ${library_objects})
add_library(pelox_static STATIC ${library_objects})
set_target_properties(pelox_shared PROPERTIES
  OUTPUT_NAME pelox EXPORT_NAME pelox
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
set_target_properties(pelox_static PROPERTIES OUTPUT_NAME pelox EXPORT_NAME pelox_static)
# Every platform call the protocol makes must be inside. Under ThreadSanitizer
# (clang) the executable brings the sanitizer's runtime, so the library's
# calls into it stay open until then.
if(NOT PELOX_TSAN)
  target_link_options(pelox_shared PRIVATE -Wl,--no-undefined)
endif()
foreach(library pelox_shared pelox_static)
  target_compile_features(${library} INTERFACE cxx_std_20)
  target_include_directories(${library} INTERFACE
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/pelox>)
endforeach()

install(TARGETS pelox_shared pelox_static EXPORT peloxTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
foreach(folder link commands transport platform)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder}/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pelox/${folder} COMPONENT dev
    FILES_MATCHING PATTERN "*.h" PATTERN posix EXCLUDE PATTERN win32 EXCLUDE)
endforeach()

include(CMakePackageConfigHelpers)
set(cmake_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/pelox)
install(EXPORT peloxTargets NAMESPACE pelox:: DESTINATION ${cmake_package_dir} COMPONENT dev)
configure_package_config_file(peloxConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/peloxConfig.cmake
  INSTALL_DESTINATION ${cmake_package_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/peloxConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/peloxConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/peloxConfigVersion.cmake
  DESTINATION ${cmake_package_dir} COMPONENT dev)

# The pkg-config file names the prefix that the tree goes into, which
# `cmake --install --prefix` may choose only at installation time.
install(CODE "
  set(PELOX_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(CMAKE_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
  set(PROJECT_VERSION ${PROJECT_VERSION})
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/pelox.pc.in
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/pelox.pc\" @ONLY)"
  COMPONENT dev)
