#!/usr/bin/env bash
# Builds the Debian packages plcdrivers, plcdrivers-dev and plcdrivers-tools
# for the build machine's architecture (amd64) and, cross-built, for the
# AArch64 gateway (arm64): six .deb files. Each comes from a release build
# of its own configured for /usr, with Debian's hardening flags; cpack makes
# the packages (cmake/PlcDriversPackaging.cmake) and dpkg-shlibdeps their
# dependencies. Installs missing build packages first (root or sudo).
#
#   scripts/package.sh                        into build/packages/
#   PLC_PACKAGE_DIR=/tmp/debs scripts/package.sh
#   PLC_DEB_BUILD_DIR=... PLC_DEB_AARCH64_BUILD_DIR=... scripts/package.sh
#                                             other build directories
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="${PLC_PACKAGE_DIR:-$ROOT/build/packages}"
NATIVE_BUILD="${PLC_DEB_BUILD_DIR:-$ROOT/build-deb}"
CROSS_BUILD="${PLC_DEB_AARCH64_BUILD_DIR:-$ROOT/build-deb-aarch64}"
JOBS="${PLC_JOBS:-2}"

"$ROOT/cmake/debian-deps.sh" @build @package
"$ROOT/scripts/cross-aarch64.sh" --deps-only

# Debian's build flags for ARCH (stack protector, fortified libc calls,
# relro and bind-now) as CMake cache arguments. -Wdate-time is left out: the
# plug-ins stamp their build time into their version text on purpose.
# dpkg-buildflags maps the working directory to "." in debug information.
flag_args() {
    local arch="$1" cxx cpp ld
    get() { (cd "$ROOT" && DEB_HOST_ARCH="$arch" DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"); }
    cxx="$(get CXXFLAGS)"
    cpp="$(get CPPFLAGS | sed 's/-Wdate-time//')"
    ld="$(get LDFLAGS)"
    # GNUInstallDirs picks lib/<multiarch> for /usr only when not cross-compiling.
    printf '%s\n' "-DCMAKE_INSTALL_LIBDIR=lib/$(dpkg-architecture -a "$arch" -qDEB_HOST_MULTIARCH 2>/dev/null)"
    printf '%s\n' "-DCMAKE_CXX_FLAGS=$cpp $cxx" "-DCMAKE_EXE_LINKER_FLAGS=$ld" \
        "-DCMAKE_SHARED_LINKER_FLAGS=$ld" "-DCMAKE_MODULE_LINKER_FLAGS=$ld"
}

# package DIR ARCH [cmake arguments...]: configure, build, pack, copy out.
package() {
    local dir="$1" arch="$2" t0 flags
    shift 2
    t0=$(date +%s)
    mapfile -t flags < <(flag_args "$arch")
    echo "== $arch: configure and build in $dir"
    mkdir -p "$dir"
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
        -DPLC_BUILD_TESTS=OFF -DPLC_BUILD_TOOLS=ON -DPLC_SANITIZE=OFF "${flags[@]}" "$@" > "$dir/configure.log" ||
        { cat "$dir/configure.log" >&2; return 1; }
    nice cmake --build "$dir" -j"$JOBS"
    echo "== $arch: cpack"
    rm -rf "$dir/packages"
    (cd "$dir" && cpack -G DEB -B "$dir/packages" > "$dir/cpack.log") ||
        { cat "$dir/cpack.log" >&2; return 1; }
    local debs=("$dir"/packages/*_"$arch".deb)
    [ ${#debs[@]} -eq 3 ] || { echo "expected 3 packages for $arch, got: ${debs[*]}" >&2; return 1; }
    cp -f "${debs[@]}" "$OUT/"
    echo "== $arch: $(( $(date +%s) - t0 )) s"
}

mkdir -p "$OUT"
package "$NATIVE_BUILD" "$(dpkg --print-architecture)"
package "$CROSS_BUILD" arm64 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/aarch64-linux-gnu.cmake"
ls -l "$OUT"/plcdrivers*.deb
