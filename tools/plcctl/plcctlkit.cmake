# plcctlkit: the parts of plcctl without I/O (arguments, values, reports, the
# watch table, where plug-ins are looked for), so tests call them directly.
# Included by plcctl's CMakeLists.txt, and by the tests when the tools are
# not built (the cross build runs these unit tests on the target).
set(PLCCTL_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(plcctlkit STATIC
  ${PLCCTL_DIR}/ValueText.h ${PLCCTL_DIR}/ValueText.cpp
  ${PLCCTL_DIR}/ResultWords.h ${PLCCTL_DIR}/ResultWords.cpp
  ${PLCCTL_DIR}/CtlArguments.h ${PLCCTL_DIR}/CtlArguments.cpp
  ${PLCCTL_DIR}/JsonLine.h ${PLCCTL_DIR}/JsonLine.cpp
  ${PLCCTL_DIR}/ControllerReport.h ${PLCCTL_DIR}/ControllerReport.cpp
  ${PLCCTL_DIR}/DoctorControllerStep.h ${PLCCTL_DIR}/DoctorControllerStep.cpp
  ${PLCCTL_DIR}/ResultReport.h ${PLCCTL_DIR}/ResultReport.cpp
  ${PLCCTL_DIR}/EndCodeText.h ${PLCCTL_DIR}/EndCodeText.cpp
  ${PLCCTL_DIR}/DoctorStep.h ${PLCCTL_DIR}/DoctorStep.cpp
  ${PLCCTL_DIR}/DoctorAdvice.h ${PLCCTL_DIR}/DoctorAdvice.cpp
  ${PLCCTL_DIR}/DoctorCMode.h ${PLCCTL_DIR}/DoctorCMode.cpp
  ${PLCCTL_DIR}/WatchTable.h ${PLCCTL_DIR}/WatchTable.cpp
  ${PLCCTL_DIR}/PluginLoader.h ${PLCCTL_DIR}/PluginLoader.cpp
  ${PLCCTL_DIR}/ReconnectText.h ${PLCCTL_DIR}/ReconnectText.cpp
  ${PROJECT_SOURCE_DIR}/common/ReconnectOption.cpp
)
target_include_directories(plcctlkit PUBLIC ${PLCCTL_DIR} ${PROJECT_SOURCE_DIR}/common)
# Like any host: the value type's code from the library hosts link (each
# plug-in carries its own copy).
target_link_libraries(plcctlkit PUBLIC PlcLabelVariable Qt5::Core)

# Where a short driver name is looked for besides the program's own directory:
# the install tree (relative to bin/) and, for a program run from the build
# tree, the plug-ins' build directories.
target_compile_definitions(plcctlkit PRIVATE
  PLCCTL_INSTALL_LIBDIR="${CMAKE_INSTALL_LIBDIR}"
  PLCCTL_BUILD_FINS_DIR="$<TARGET_FILE_DIR:LibFinsNet>"
  PLCCTL_BUILD_HLINK_DIR="$<TARGET_FILE_DIR:LibHLink>"
  PLCCTL_BUILD_FINSUDP_DIR="$<TARGET_FILE_DIR:LibFinsUdp>"
  PLCCTL_BUILD_HLINKC_DIR="$<TARGET_FILE_DIR:LibHLinkC>"
  PLCCTL_BUILD_CIPNET_DIR="$<TARGET_FILE_DIR:LibCipNet>")
