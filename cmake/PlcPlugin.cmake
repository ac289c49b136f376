# plc_add_plugin(NAME SOURCES a.cpp ... LIBS lib ...)
# A driver plug-in: a shared library whose only dynamic symbol is the entry
# point getSharedLibrary. Everything else (the kit, the protocol, the
# template and inline code of Qt's headers) stays inside the plug-in, so two
# plug-ins in one host each run their own copy of the kit, even when the host
# loads them with RTLD_GLOBAL. The host reaches the faces of the driver object
# (CDriveBaseClass, DriveDiagnostics, DriveController) through virtual calls
# (qt_metacast, qobject_cast), which need no exported symbol.
#
# Every plug-in is made with this function: it records the target in the
# global property PLC_PLUGIN_TARGETS, which the export check in
# tests/plugins walks.
set(PLC_PLUGIN_EXPORTS_MAP ${CMAKE_CURRENT_LIST_DIR}/plugin-exports.map)

function(plc_add_plugin name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${PLC_PLUGIN_EXPORTS_MAP})
  # The version script is the second wall: a symbol a header marks
  # default-visible (a template instantiation, a static inside an inline
  # function) is still kept local.
  target_link_options(${name} PRIVATE
    "LINKER:--version-script=${PLC_PLUGIN_EXPORTS_MAP}"
    "LINKER:--exclude-libs,ALL")
  set_property(GLOBAL APPEND PROPERTY PLC_PLUGIN_TARGETS ${name})
endfunction()

# plc_plugin_files(OUT): "target=file|target=file..." for every plug-in made
# so far, as generator expressions (for a compile definition of a test).
function(plc_plugin_files out)
  get_property(plugins GLOBAL PROPERTY PLC_PLUGIN_TARGETS)
  set(files "")
  foreach(p ${plugins})
    list(APPEND files "${p}=$<TARGET_FILE:${p}>")
  endforeach()
  set(${out} "$<JOIN:${files},|>" PARENT_SCOPE)
endfunction()

# plc_write_plugin_list(FILE): every plug-in of the build, "target file" per
# line, for scripts that check them all (scripts/cross-aarch64.sh). Called at
# the end of the top-level CMakeLists.txt, once every plug-in is made.
function(plc_write_plugin_list file)
  get_property(plugins GLOBAL PROPERTY PLC_PLUGIN_TARGETS)
  set(lines "")
  foreach(p ${plugins})
    list(APPEND lines "${p} $<TARGET_FILE:${p}>")
  endforeach()
  file(GENERATE OUTPUT ${file} CONTENT "$<JOIN:${lines},\n>\n")
endfunction()
