# What `cmake --install` puts into the prefix:
#
#   lib/plcdrivers/libLibFinsNet.so, libLibHLink.so,  the plug-ins (loaded by
#                  libLibFinsUdp.so, libLibHLinkC.so,  path, never linked)
#                  libLibCipNet.so
#   lib/libPlcLabelVariable.a                          CLabelVariable's code for hosts
#   include/plcdrivers/CDriveBaseClass.h, CLabelVariable.h
#   bin/plcsim, bin/plcctl                             (their own install rules)
#   lib/cmake/PlcDrivers/                              find_package(PlcDrivers)
#   lib/pkgconfig/plcdrivers.pc                        pkg-config plcdrivers
#
# Components (the Debian packages, cmake/PlcDriversPackaging.cmake):
# plcdrivers the plug-ins, plcdrivers-dev the files for hosts, plcdrivers-tools
# plcctl and plcsim.
# "lib" stands for ${CMAKE_INSTALL_LIBDIR} (lib/<multiarch> under /usr).
include(CMakePackageConfigHelpers)

set(PLC_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/plcdrivers)
set(PLC_HEADER_INSTALL_DIR ${CMAKE_INSTALL_INCLUDEDIR}/plcdrivers)
set(PLC_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/PlcDrivers)

# Plug-ins live in a directory of their own: hosts open them by path, and
# they stay out of the linker's search path.
install(TARGETS LibFinsNet LibHLink LibFinsUdp LibHLinkC LibCipNet
  LIBRARY DESTINATION ${PLC_PLUGIN_INSTALL_DIR} COMPONENT plcdrivers)
install(FILES
  ${PROJECT_SOURCE_DIR}/common/CDriveBaseClass.h
  ${PROJECT_SOURCE_DIR}/common/CLabelVariable.h
  DESTINATION ${PLC_HEADER_INSTALL_DIR} COMPONENT plcdrivers-dev)
install(TARGETS PlcLabelVariable EXPORT PlcDriversTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT plcdrivers-dev)
install(EXPORT PlcDriversTargets NAMESPACE PlcDrivers::
  DESTINATION ${PLC_CMAKE_INSTALL_DIR} COMPONENT plcdrivers-dev)

configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/PlcDriversConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/PlcDriversConfig.cmake
  INSTALL_DESTINATION ${PLC_CMAKE_INSTALL_DIR}
  PATH_VARS PLC_PLUGIN_INSTALL_DIR PLC_HEADER_INSTALL_DIR)
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/PlcDriversConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/PlcDriversConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/PlcDriversConfigVersion.cmake
  DESTINATION ${PLC_CMAKE_INSTALL_DIR} COMPONENT plcdrivers-dev)

# pkg-config: the prefix is found from the .pc file's own place, so the tree
# stays relocatable like the CMake package (cmake --install --prefix ...).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(PLC_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(PLC_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  file(RELATIVE_PATH _plc_pc_up "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" _plc_pc_up "${_plc_pc_up}")
  set(PLC_PC_PREFIX "\${pcfiledir}/${_plc_pc_up}")
  set(PLC_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(PLC_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}/plcdrivers")
else()
  set(PLC_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}/plcdrivers")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/plcdrivers.pc.in
  ${CMAKE_CURRENT_BINARY_DIR}/plcdrivers.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/plcdrivers.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT plcdrivers-dev)
