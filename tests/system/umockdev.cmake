# The SG_IO storage pipe under umockdev: mocked SCSI devices whose SG_IO
# requests the virtual camera's storage face answers.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  find_package(PkgConfig)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(UMOCKDEV IMPORTED_TARGET umockdev-1.0)
  endif()
endif()

if(UMOCKDEV_FOUND)
  add_executable(umockdev_camera umockdev_camera.cpp)
  target_link_libraries(umockdev_camera PRIVATE pelox_storage_face pelox_replay pelox_camsim_options
                        PkgConfig::UMOCKDEV
                        pelox_warnings)

  add_executable(sg_io_camera_session sg_io_camera_session.cpp)
  target_link_libraries(sg_io_camera_session PRIVATE
    pelox pelox_platform pelox_platform_storage pelox_platform_files pelox_warnings)

  add_test(NAME sg_io_pipe_carries_a_firmware_write_under_umockdev
           COMMAND umockdev_camera --expect-firmware 2097152 --
                   $<TARGET_FILE:sg_io_camera_session>)
  set_tests_properties(sg_io_pipe_carries_a_firmware_write_under_umockdev PROPERTIES
    ENVIRONMENT "ASAN_OPTIONS=verify_asan_link_order=0" TIMEOUT 300)
endif()

if(UMOCKDEV_FOUND AND TARGET pelox_shared)
  add_test(NAME download_pictures_arrive_byte_for_byte_through_sg_io_under_umockdev
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/download_pictures.sh ${PROJECT_BINARY_DIR}
                   ${download_pictures_source} sg-io $<TARGET_FILE:umockdev_camera>)
  set_tests_properties(download_pictures_arrive_byte_for_byte_through_sg_io_under_umockdev
    PROPERTIES ENVIRONMENT "ASAN_OPTIONS=verify_asan_link_order=0" TIMEOUT 180)
endif()

if(UMOCKDEV_FOUND AND TARGET replay_recordings_test)
  target_compile_definitions(replay_recordings_test PRIVATE
    HARNESS_PATH="$<TARGET_FILE:umockdev_camera>")
  add_dependencies(replay_recordings_test umockdev_camera)
endif()
