# cmake -DDOXYGEN=doxygen -DDOXYFILE=Doxyfile -DLOG=warnings.log -P check_reference.cmake
# Makes the reference and fails when a public function has no comment or a
# comment does not parse: every function says what it does and what it
# returns. Undocumented constants and fields are listed, not fatal: most
# explain themselves by their name and the comment of their group.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${DOXYGEN} ${DOXYFILE} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "doxygen failed")
endif()
file(STRINGS ${LOG} warnings)
set(fatal)
set(listed 0)
foreach(warning ${warnings})
  if(warning MATCHES "\\((function|define)\\)" OR NOT warning MATCHES "is not documented")
    list(APPEND fatal "${warning}")
  elseif(warning MATCHES "is not documented")
    math(EXPR listed "${listed} + 1")
  endif()
endforeach()
if(fatal)
  list(JOIN fatal "\n" text)
  message(FATAL_ERROR "The reference lacks what a function needs:\n${text}")
endif()
message(STATUS "The reference documents every public function; ${listed} constants and fields go by their group's comment")
