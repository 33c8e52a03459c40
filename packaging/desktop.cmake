# The desktop front end with what makes it one on a Linux desktop: the menu
# entry, the AppStream description, the icon at the theme's sizes, the
# firmware image's MIME type (known by its header) and the manual page.
set(PELOX_DESKTOP_ID org.example.pelox_uploader.gui)
install(TARGETS pelox-uploader-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
install(FILES man/pelox-uploader-gui.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT desktop)
install(FILES desktop/${PELOX_DESKTOP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT desktop)
install(FILES desktop/${PELOX_DESKTOP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo COMPONENT desktop)
install(FILES desktop/pelox-firmware.xml
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages RENAME pelox-uploader-gui.xml
  COMPONENT desktop)
foreach(size 16 24 32 48 64 128 256)
  install(FILES desktop/icons/${size}.png
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${PELOX_DESKTOP_ID}.png COMPONENT desktop)
endforeach()
