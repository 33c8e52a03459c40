# The camera protocol library for other programs: the protocol together with
# the real platform backends it calls, shared (versioned, with a SONAME) and
# static, its public headers under pelox/, a CMake package and a pkg-config
# file. Only the public headers' declarations are exported.
set(library_parts pelox pelox_platform pelox_platform_files pelox_platform_storage
    pelox_platform_time pelox_platform_threads)
set_target_properties(${library_parts} PROPERTIES POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
set(library_objects)
foreach(part ${library_parts})
  list(APPEND library_objects $<TARGET_OBJECTS:${part}>)
endforeach()

# The headers a program using the library includes, relative to the tree.
set(PELOX_PUBLIC_HEADERS
  commands/action_commands.h commands/block_commands.h commands/camera_commands.h
  commands/firmware_commands.h commands/object_commands.h commands/probe_commands.h
  commands/property_commands.h commands/sound.h commands/usage_commands.h
  link/camera_link.h link/error_text.h link/library_version.h link/link_events.h
  link/link_info.h link/range_table.h link/speed_table.h
  platform/devices.h platform/export.h platform/file_open.h platform/local_time.h platform/serial_map.h
  transport/byte_order.h transport/code_text.h transport/discovery/camera_vendor.h
  transport/discovery/device_table.h transport/port/port.h transport/port/port_types.h
  transport/storage/storage_init.h)

# The public headers as installed: under pelox/, including each other as
# <pelox/...>, without the test hooks; with pelox/pelox.h over them all.
set(PELOX_STAGED_INCLUDE_DIR ${CMAKE_CURRENT_BINARY_DIR}/include)
set(staged_headers ${PELOX_STAGED_INCLUDE_DIR}/pelox/pelox.h)
set(source_headers)
foreach(header ${PELOX_PUBLIC_HEADERS})
  list(APPEND staged_headers ${PELOX_STAGED_INCLUDE_DIR}/pelox/${header})
  list(APPEND source_headers ${PROJECT_SOURCE_DIR}/${header})
endforeach()
string(REPLACE ";" "," header_list "${PELOX_PUBLIC_HEADERS}")
add_custom_command(OUTPUT ${staged_headers}
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DOUTPUT_DIR=${PELOX_STAGED_INCLUDE_DIR}/pelox "-DHEADERS=${header_list}"
          -DUMBRELLA=${CMAKE_CURRENT_SOURCE_DIR}/pelox.h
          -P ${CMAKE_CURRENT_SOURCE_DIR}/stage_headers.cmake
  DEPENDS ${source_headers} pelox.h stage_headers.cmake
  COMMENT "Laying out the installed headers under pelox/")
add_custom_target(pelox_staged_headers ALL DEPENDS ${staged_headers})

add_library(pelox_shared SHARED ${library_objects})
add_library(pelox_static STATIC ${library_objects})
set_target_properties(pelox_shared PROPERTIES
  OUTPUT_NAME pelox EXPORT_NAME pelox
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
set_target_properties(pelox_static PROPERTIES OUTPUT_NAME pelox EXPORT_NAME pelox_static)
# Library code instantiates standard templates (strings, maps, threads) whose
# copies would otherwise be exported too: only the namespace goes out.
target_link_options(pelox_shared PRIVATE
  -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/libpelox.map)
set_property(TARGET pelox_shared APPEND PROPERTY LINK_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/libpelox.map)
# Every platform call the protocol makes must be inside. Under ThreadSanitizer
# (clang) the executable brings the sanitizer's runtime, so the library's
# calls into it stay open until then.
if(NOT PELOX_TSAN)
  target_link_options(pelox_shared PRIVATE -Wl,--no-undefined)
endif()
foreach(library pelox_shared pelox_static)
  add_dependencies(${library} pelox_staged_headers)
  target_compile_features(${library} INTERFACE cxx_std_20)
  target_include_directories(${library} INTERFACE
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endforeach()

install(TARGETS pelox_shared pelox_static EXPORT peloxTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(DIRECTORY ${PELOX_STAGED_INCLUDE_DIR}/pelox DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT dev)

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

# The reference in HTML, made by Doxygen from the installed headers; the
# Debian build makes it for the libpelox-doc package.
option(PELOX_DOCS "Build the library's HTML reference (needs Doxygen)" OFF)
if(PELOX_DOCS)
  find_package(Doxygen REQUIRED)
  set(DOC_OUTPUT_DIR ${CMAKE_CURRENT_BINARY_DIR}/doc)
  configure_file(doc/Doxyfile.in ${CMAKE_CURRENT_BINARY_DIR}/Doxyfile @ONLY)
  add_custom_command(OUTPUT ${DOC_OUTPUT_DIR}/html/index.html
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DOC_OUTPUT_DIR}
    COMMAND ${CMAKE_COMMAND} -DDOXYGEN=$<TARGET_FILE:Doxygen::doxygen>
            -DDOXYFILE=${CMAKE_CURRENT_BINARY_DIR}/Doxyfile -DLOG=${DOC_OUTPUT_DIR}/warnings.log
            -P ${CMAKE_CURRENT_SOURCE_DIR}/doc/check_reference.cmake
    DEPENDS ${staged_headers} ${CMAKE_CURRENT_BINARY_DIR}/Doxyfile doc/check_reference.cmake
    COMMENT "Making the library's reference")
  add_custom_target(pelox_doc ALL DEPENDS ${DOC_OUTPUT_DIR}/html/index.html)
  install(DIRECTORY ${DOC_OUTPUT_DIR}/html
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libpelox-doc COMPONENT doc)
endif()
