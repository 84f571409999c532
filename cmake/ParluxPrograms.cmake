# The suite's programs, read from the one list the C++ compiles in too
# (common/core/SuitePrograms.def). After include(ParluxPrograms):
#   PARLUX_PROGRAMS                 the programs' names, in the list's order
#   PARLUX_PROGRAM_<name>_TRAITS    its traits (kWindow kFullAuto ...), blank-separated
#   PARLUX_PROGRAM_<name>_GENERIC   its menu entry's generic name, empty for none
#   PARLUX_PROGRAM_<name>_COMMENT   its menu entry's comment
#   PARLUX_PROGRAM_<name>_CATEGORIES its menu categories, blank-separated
#   PARLUX_PROGRAM_<name>_MAN_SECTION the section of its manual page
include_guard(GLOBAL)

set(PARLUX_PROGRAM_LIST ${PROJECT_SOURCE_DIR}/common/core/SuitePrograms.def)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PARLUX_PROGRAM_LIST})

# The fields of one PARLUX_PROGRAM(...) line, in order: a "..." text without
# its quotes, anything else as written.
function(_parlux_program_fields line out)
  string(REGEX REPLACE "^PARLUX_PROGRAM\\((.*)\\)[ \t]*$" "\\1" rest "${line}")
  set(fields)
  while(NOT rest STREQUAL "")
    if(rest MATCHES "^[ \t]*\"([^\"]*)\"[ \t]*(,(.*))?$")
      list(APPEND fields "${CMAKE_MATCH_1}")
      set(rest "${CMAKE_MATCH_3}")
    elseif(rest MATCHES "^[ \t]*([^,\"]*[^,\" \t])[ \t]*(,(.*))?$")
      list(APPEND fields "${CMAKE_MATCH_1}")
      set(rest "${CMAKE_MATCH_3}")
    else()
      message(FATAL_ERROR "${PARLUX_PROGRAM_LIST}: cannot read the line ${line}")
    endif()
  endwhile()
  list(LENGTH fields count)
  if(NOT count EQUAL 9)
    message(FATAL_ERROR "${PARLUX_PROGRAM_LIST}: ${count} fields instead of 9 in ${line}")
  endif()
  set(${out} "${fields}" PARENT_SCOPE)
endfunction()

file(STRINGS ${PARLUX_PROGRAM_LIST} _parlux_lines REGEX "^PARLUX_PROGRAM\\(")
set(PARLUX_PROGRAMS)
foreach(_line IN LISTS _parlux_lines)
  _parlux_program_fields("${_line}" _fields)
  list(GET _fields 0 _name)
  list(GET _fields 1 _traits)
  list(GET _fields 5 _generic)
  list(GET _fields 6 _comment)
  list(GET _fields 7 _categories)
  list(GET _fields 8 _section)
  list(APPEND PARLUX_PROGRAMS ${_name})
  string(REGEX REPLACE "[ \t]*\\|[ \t]*" " " PARLUX_PROGRAM_${_name}_TRAITS "${_traits}")
  set(PARLUX_PROGRAM_${_name}_GENERIC "${_generic}")
  set(PARLUX_PROGRAM_${_name}_COMMENT "${_comment}")
  set(PARLUX_PROGRAM_${_name}_CATEGORIES "${_categories}")
  set(PARLUX_PROGRAM_${_name}_MAN_SECTION "${_section}")
endforeach()
