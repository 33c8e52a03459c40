# The Windows zip: the program, where to put the firmware file, the licence.
install(TARGETS PeloxUploader RUNTIME DESTINATION . COMPONENT uploader)
install(FILES windows/README.txt DESTINATION . COMPONENT uploader)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT uploader)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME PeloxUploader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win32)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL uploader)
include(CPack)
