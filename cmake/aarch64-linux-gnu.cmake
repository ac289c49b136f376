# Cross build for the gateway (AArch64 Linux) on a Debian build machine:
# Debian's cross compiler (g++-aarch64-linux-gnu) and the arm64 Qt
# development packages installed through multiarch (qtbase5-dev:arm64,
# libqt5serialport5-dev:arm64). moc and the other Qt tools stay native
# (qtbase5-dev-tools); Qt's arm64 CMake files name them by their
# architecture-independent path /usr/lib/qt5/bin.
#
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Multiarch: target libraries live in /usr/lib/aarch64-linux-gnu of the build
# machine itself, so the root stays "/" and the architecture picks the paths.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# ctest runs target programs through qemu-user. The arm64 C library that
# multiarch installs with Qt (libc6:arm64) provides /lib/ld-linux-aarch64.so.1
# and finds the arm64 Qt libraries itself, so qemu needs no -L. (Pointing -L
# at the cross toolchain's /usr/aarch64-linux-gnu mixes its C library with the
# multiarch one; qemu 7.2 then hangs in the first thread start.)
find_program(PLC_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static)
if(PLC_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PLC_QEMU_AARCH64})
endif()
