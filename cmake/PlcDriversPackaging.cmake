# Debian packages made by CPack from the install rules, one per install
# component:
#
#   plcdrivers        the driver plug-ins         lib/<multiarch>/plcdrivers/
#   plcdrivers-dev    headers, CMake package, pkg-config file, the
#                     CLabelVariable library a host links
#   plcdrivers-tools  plcctl, plcsim and their man pages
#
# Configure with -DCMAKE_INSTALL_PREFIX=/usr (GNUInstallDirs then picks
# lib/<multiarch>) and run cpack in the build directory; scripts/package.sh
# does both, for the build machine and for the AArch64 cross build.
# Run-time dependencies come from dpkg-shlibdeps; only the dependencies
# between our own packages, and what the -dev package's CMake and pkg-config
# files need at build time, are written here.

set(PLC_DEB_MAINTAINER "PLC drivers team <plcdrivers@example.com>"
  CACHE STRING "Maintainer field of the Debian packages")

# Debian's name for the target architecture; the cross build's is not the
# build machine's (dpkg --print-architecture).
set(_plc_deb_arch_amd64 x86_64)
set(_plc_deb_arch_arm64 aarch64)
set(_plc_deb_arch_armhf arm)
set(_plc_deb_arch_i386 i686)
set(PLC_DEB_ARCH "")
foreach(_arch amd64 arm64 armhf i386)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL _plc_deb_arch_${_arch})
    set(PLC_DEB_ARCH ${_arch})
  endif()
endforeach()
if(NOT PLC_DEB_ARCH)
  execute_process(COMMAND dpkg --print-architecture
    OUTPUT_VARIABLE PLC_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()

set(PLC_DEB_DOC_FILES
  ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
  ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)

# The Debian changelog's newest entry must name the project's version.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog _plc_changelog_top LIMIT_COUNT 1)
if(NOT _plc_changelog_top MATCHES "^plcdrivers \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog starts with '${_plc_changelog_top}', "
    "not with an entry for version ${PROJECT_VERSION}")
endif()
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
    > ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
  VERBATIM)
add_custom_target(plc_deb_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)

set(PLC_DEB_COMPONENTS plcdrivers plcdrivers-dev)
if(PLC_BUILD_TOOLS)
  list(APPEND PLC_DEB_COMPONENTS plcdrivers-tools)
endif()

# Every package carries its copyright, changelog and lintian overrides.
foreach(_comp IN LISTS PLC_DEB_COMPONENTS)
  install(FILES ${PLC_DEB_DOC_FILES}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${_comp} COMPONENT ${_comp})
  set(_overrides ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides/${_comp})
  if(EXISTS ${_overrides})
    install(FILES ${_overrides}
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT ${_comp})
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plcdrivers)
set(CPACK_PACKAGE_VENDOR "PLC drivers team")
set(CPACK_PACKAGE_CONTACT "${PLC_DEB_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# Stripped by cmake/CPackStripFiles.cmake: CPack's own stripping leaves the
# .comment sections and does not touch static libraries.
set(CPACK_STRIP_FILES OFF)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CPackStripFiles.cmake)
set(CPACK_COMPONENTS_ALL ${PLC_DEB_COMPONENTS})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${PLC_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PLC_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Directories in the packages are 0755 whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# dpkg-shlibdeps looks for the target's libraries in its multiarch
# directories, and runs its objdump, when told the host architecture.
set(PLC_DEB_HOST_ARCH ${PLC_DEB_ARCH})
configure_file(${CMAKE_CURRENT_LIST_DIR}/CPackProjectConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/CPackProjectConfig.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/CPackProjectConfig.cmake)

set(_plc_exact "(= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_PLCDRIVERS_PACKAGE_NAME plcdrivers)
set(CPACK_DEBIAN_PLCDRIVERS_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PLCDRIVERS_DESCRIPTION
"Omron PLC driver plug-ins (FINS, Host Link and EtherNet/IP)
Shared-library plug-ins that let a host application read and write the
memory of Omron controllers: FINS/TCP, FINS/UDP, Host Link (serial or
TCP), Host Link C-mode for controllers without FINS, and the named
variables of NJ/NX controllers over EtherNet/IP. A host loads them by
path at run time from
/usr/lib/<multiarch>/plcdrivers and calls their getSharedLibrary entry.")

set(CPACK_DEBIAN_PLCDRIVERS-DEV_PACKAGE_NAME plcdrivers-dev)
set(CPACK_DEBIAN_PLCDRIVERS-DEV_PACKAGE_SECTION libdevel)
# The CMake package and the pkg-config file need Qt 5 Core's development files.
set(CPACK_DEBIAN_PLCDRIVERS-DEV_PACKAGE_DEPENDS "plcdrivers ${_plc_exact}, qtbase5-dev")
set(CPACK_DEBIAN_PLCDRIVERS-DEV_DESCRIPTION
"Omron PLC driver plug-ins - development files
The driver interface (CDriveBaseClass.h), the value type CLabelVariable
with its static library, the CMake package PlcDrivers and the pkg-config
file plcdrivers, which name the directory of the installed plug-ins.")

set(CPACK_DEBIAN_PLCDRIVERS-TOOLS_PACKAGE_NAME plcdrivers-tools)
set(CPACK_DEBIAN_PLCDRIVERS-TOOLS_PACKAGE_SECTION utils)
# plcctl loads the installed plug-ins.
set(CPACK_DEBIAN_PLCDRIVERS-TOOLS_PACKAGE_DEPENDS "plcdrivers ${_plc_exact}")
set(CPACK_DEBIAN_PLCDRIVERS-TOOLS_DESCRIPTION
"Omron PLC driver plug-ins - command-line host and simulator
plcctl loads a driver plug-in like a host application does, to read, write
and watch PLC memory from the shell and to see the frames. plcsim is a
simulated controller that serves every protocol of the plug-ins from one
memory image, with fault modes for testing.")

include(CPack)
