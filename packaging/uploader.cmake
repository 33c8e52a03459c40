# The uploader package: the programs, their manual pages, the uploader's bash
# completion, the udev rule that opens the cameras' devices to the seated
# user, README and LICENSE.
install(TARGETS pelox-uploader camsim make-firmware RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  COMPONENT uploader)

# Manual pages from each program's --help, compressed as Debian wants them.
# A build for trying the programs out may go without them.
find_program(PELOX_HELP2MAN help2man)
if(PELOX_HELP2MAN)
  set(pelox-uploader_summary "write a firmware image into a Pelox camera")
  set(camsim_summary "a virtual Pelox camera on a pseudo-terminal, with fault injection")
  set(make-firmware_summary "write a sample Pelox firmware image")
  set(manual_pages)
  foreach(program pelox-uploader camsim make-firmware)
    set(page ${CMAKE_CURRENT_BINARY_DIR}/${program}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${PELOX_HELP2MAN} -DGZIP=${PELOX_GZIP}
              -DPROGRAM=$<TARGET_FILE:${program}> -DVERSION=${PROJECT_VERSION} -DOUTPUT=${page}
              "-DSUMMARY=${${program}_summary}"
              -P ${CMAKE_CURRENT_SOURCE_DIR}/make_manual_page.cmake
      DEPENDS ${program} make_manual_page.cmake
      COMMENT "Writing the manual page of ${program}")
    list(APPEND manual_pages ${page})
  endforeach()
  add_custom_target(pelox_manual_pages ALL DEPENDS ${manual_pages})
  install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT uploader)
else()
  message(STATUS "help2man not found: no manual pages")
endif()

install(FILES bash-completion/pelox-uploader
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions COMPONENT uploader)
set(PELOX_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING
  "Where the udev rule goes, relative to the installation prefix")
install(FILES udev/60-pelox-camera.rules DESTINATION ${PELOX_UDEV_RULES_DIR} COMPONENT uploader)
