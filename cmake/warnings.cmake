# Warnings are errors on every compiler we build with.
add_library(pelox_warnings INTERFACE)
target_compile_options(pelox_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wimplicit-fallthrough -Werror)
