# cmake -DHELP2MAN=... -DGZIP=... -DPROGRAM=path -DVERSION=x.y.z -DSUMMARY=text -DOUTPUT=name.1.gz -P make_manual_page.cmake
# Runs help2man on the program by its bare name, so that the page shows the
# name and not where the program was built.
get_filename_component(directory ${PROGRAM} DIRECTORY)
get_filename_component(name ${PROGRAM} NAME)
string(REGEX REPLACE "\\.gz$" "" page ${OUTPUT})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "PATH=${directory}:$ENV{PATH}"
          ${HELP2MAN} --no-info --no-discard-stderr --version-string=${VERSION}
          "--name=${SUMMARY}" --section=1 --output=${page} ${name}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${name}")
endif()
execute_process(COMMAND ${GZIP} -9nf ${page} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${page}")
endif()
