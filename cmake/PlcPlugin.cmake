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
