# Two Debian packages: pelox-uploader (component uploader) and libpelox-dev
# (component dev). Each carries what Debian asks of every package: its
# copyright (the licence) and a compressed changelog.
foreach(component uploader dev)
  if(component STREQUAL "uploader")
    set(package pelox-uploader)
  else()
    set(package libpelox-dev)
  endif()
  set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package})
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${doc_dir} RENAME copyright
    COMPONENT ${component})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${doc_dir}
    COMPONENT ${component})
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/pelox-uploader COMPONENT uploader)

add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  COMMAND ${PELOX_GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/changelog > changelog.gz
  DEPENDS changelog
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
add_custom_target(pelox_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelox)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Pelox Firmware Uploader developers <pelox-uploader@users.noreply.github.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL uploader dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/pelox/pelox-uploader")

set(CPACK_DEBIAN_UPLOADER_PACKAGE_NAME pelox-uploader)
set(CPACK_COMPONENT_UPLOADER_DESCRIPTION
  "firmware uploader for Pelox cameras\nThe uploader writes a firmware image into a Pelox camera over the USB\nstorage pipe or a serial line, in a terminal or line by line for scripts.\nIt comes with camsim, a virtual camera for trying it out, and\nmake-firmware, which writes sample firmware images.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libpelox-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The dynamic linker's cache is refreshed through dpkg's trigger.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/dev/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_DEV_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/dev/triggers)
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "Pelox camera protocol library (development files)\nThe camera link, packet framing, command set, serial port and USB storage\npipe of the Pelox Firmware Uploader as a library for other programs:\nshared and static libraries, headers, a CMake package and a pkg-config\nfile.")
include(CPack)
