# The programs with their manual pages, the uploader's bash completion, the
# udev rule that opens a camera's devices to the seated user, and the
# uploader's README for its users. The Debian packages split them: the
# uploader in one, the virtual camera and the image tool in another.
install(TARGETS pelox-uploader camsim make-firmware RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  COMPONENT uploader)
install(FILES man/pelox-uploader.1 man/camsim.1 man/make-firmware.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT uploader)
install(FILES bash-completion/pelox-uploader
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions COMPONENT uploader)
install(FILES uploader/README
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/pelox-uploader COMPONENT uploader)
set(PELOX_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING
  "Where the udev rule goes, relative to the installation prefix or absolute")
install(FILES udev/60-pelox-camera.rules DESTINATION ${PELOX_UDEV_RULES_DIR} COMPONENT uploader)
