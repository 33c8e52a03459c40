# Warnings are errors on every compiler we build with.
add_library(pelox_warnings INTERFACE)
target_compile_options(pelox_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wimplicit-fallthrough -Werror)

# GCC's flow-based bounds, overlap, null and truncation checks only run when
# optimising, and there they report paths inside the standard library that
# cannot happen. They stay visible as warnings; the sanitizer runs check
# bounds and null for real.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(optimiser_only array-bounds stringop-overflow null-dereference format-truncation restrict)
  list(TRANSFORM optimiser_only PREPEND -Wno-error=)
  target_compile_options(pelox_warnings INTERFACE "$<$<NOT:$<CONFIG:Debug>>:${optimiser_only}>")
endif()
