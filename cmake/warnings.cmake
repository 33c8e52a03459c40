# Warnings are errors on every compiler we build with.
add_library(pelox_warnings INTERFACE)
target_compile_options(pelox_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wimplicit-fallthrough -Werror)

# GCC's flow-based bounds and null checks only run when optimising, and there
# they report paths inside the standard containers that cannot happen. They
# stay visible as warnings; the sanitizer runs check bounds and null for real.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(pelox_warnings INTERFACE
    $<$<NOT:$<CONFIG:Debug>>:-Wno-error=array-bounds -Wno-error=stringop-overflow -Wno-error=null-dereference>)
endif()
