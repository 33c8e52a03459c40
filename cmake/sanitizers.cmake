# Sanitizers for the whole build. The fuzz build instruments every library
# for coverage; only the fuzzer executables link libFuzzer's driver.
if(PELOX_SANITIZE OR PELOX_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(PELOX_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(PELOX_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
