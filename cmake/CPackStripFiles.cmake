# Run by cpack on the staged files before it packs them
# (CPACK_PRE_BUILD_SCRIPTS). Strips the way Debian's own packages are:
# programs and plug-ins lose their symbol tables and the compiler's .comment
# and .note sections, static libraries their debug information (a host still
# links them). The build tree keeps its unstripped files.
file(GLOB_RECURSE _plc_staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(_file IN LISTS _plc_staged)
  if(IS_SYMLINK "${_file}")
    continue()
  endif()
  file(READ "${_file}" _magic LIMIT 4 HEX)
  if(_file MATCHES "\\.a$")
    set(_how --strip-debug --enable-deterministic-archives)
  elseif(_magic STREQUAL "7f454c46")
    set(_how --strip-unneeded)
  else()
    continue()
  endif()
  execute_process(
    COMMAND "${PLC_STRIP}" ${_how} --remove-section=.comment --remove-section=.note "${_file}"
    RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "${PLC_STRIP} failed on ${_file}")
  endif()
endforeach()
