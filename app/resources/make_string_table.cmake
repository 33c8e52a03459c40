# Turns the dialog's strings header into the Windows string table, so that
# both front ends show the same texts. Run with -DINPUT=strings.h
# -DOUTPUT=strings.rc.
file(STRINGS "${INPUT}" lines)
set(table "// Generated from strings.h; edit that file instead.\n")
string(APPEND table "LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT\nSTRINGTABLE\nBEGIN\n")
foreach(line IN LISTS lines)
  if(line MATCHES "constexpr int32_t (STR_[A-Z_]+) = ([0-9]+);")
    set(id_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
  elseif(line MATCHES "^ *\\{(STR_[A-Z_]+), \"(.*)\"\\},$")
    set(name ${CMAKE_MATCH_1})
    set(text "${CMAKE_MATCH_2}")
    if(NOT DEFINED id_${name})
      message(FATAL_ERROR "string ${name} has no id")
    endif()
    # A quote inside a resource string is written twice.
    string(REPLACE "\\\"" "\"\"" text "${text}")
    string(APPEND table "  ${id_${name}}, \"${text}\"\n")
  endif()
endforeach()
string(APPEND table "END\n")
file(WRITE "${OUTPUT}" "${table}")
