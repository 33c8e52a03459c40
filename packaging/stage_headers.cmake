# cmake -DSOURCE_DIR=tree -DOUTPUT_DIR=dir -DHEADERS=a.h,b/c.h -DUMBRELLA=pelox.h -P stage_headers.cmake
# Copies the public headers under OUTPUT_DIR as a program using the library
# includes them: each other as <pelox/...>, so that only the system include
# path is needed, and without the test hooks, which the library keeps hidden.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" headers "${HEADERS}")
file(REMOVE_RECURSE ${OUTPUT_DIR})
foreach(header ${headers})
  file(READ ${SOURCE_DIR}/${header} text)
  string(REGEX MATCHALL "#include \"[^\"]+\"" includes "${text}")
  foreach(include ${includes})
    string(REGEX REPLACE "#include \"(.*)\"" "\\1" included "${include}")
    if(NOT included IN_LIST headers)
      message(FATAL_ERROR "${header} includes ${included}, which is not installed")
    endif()
  endforeach()
  string(REGEX REPLACE "#include \"([^\"]+)\"" "#include <pelox/\\1>" text "${text}")
  # A test hook goes with the comment lines right above it.
  string(REGEX REPLACE "(\n//[^\n]*)*\nPELOX_TEST_HOOK [^\n]*" "" text "${text}")
  file(WRITE ${OUTPUT_DIR}/${header} "${text}")
endforeach()
file(COPY ${UMBRELLA} DESTINATION ${OUTPUT_DIR})
