#!/usr/bin/env bash
# Cross-builds the three plug-ins and the unit tests for aarch64-linux-gnu (the
# gateway) and runs the unit tests under qemu-user. The target's plain char
# is unsigned, so this is where the Int8 arithmetic meets it for real.
#
# Needs Debian's cross compiler and the arm64 Qt development packages
# (multiarch); installs whatever is missing (root or sudo needed then).
#
#   scripts/cross-aarch64.sh            build-aarch64/ next to the sources
#   PLC_AARCH64_BUILD_DIR=/tmp/x scripts/cross-aarch64.sh
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${PLC_AARCH64_BUILD_DIR:-$ROOT/build-aarch64}"
JOBS="${PLC_JOBS:-2}"


as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Debian sources in deb822 form may restrict themselves to some
# architectures ("Architectures: amd64"); arm64 packages then never show up.
arm64_blocked_sources() {
    grep -l -i '^Architectures:' /etc/apt/sources.list.d/*.sources 2>/dev/null |
        xargs -r grep -L -i '^Architectures:.*arm64' |
        xargs -r grep -l 'debian.org/debian' || true
}

install_missing() {
    if ! dpkg --print-foreign-architectures | grep -qx arm64; then
        echo "== adding the arm64 architecture (dpkg multiarch)"
        as_root dpkg --add-architecture arm64
    fi
    local blocked
    blocked="$(arm64_blocked_sources)"
    if [ -n "$blocked" ]; then
        echo "== enabling arm64 in: $blocked"
        for f in $blocked; do
            as_root sed -i -E 's/^(Architectures:.*)$/\1 arm64/I' "$f"
        done
    fi
    # The build tools and the cross section (with the arm64 Qt packages).
    "$ROOT/cmake/debian-deps.sh" @build @cross
}

install_missing
if [ "${1:-}" = "--deps-only" ]; then
    exit 0
fi

START=$(date +%s)
cmake -S "$ROOT" -B "$BUILD" \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/aarch64-linux-gnu.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLC_WERROR=ON \
    -DPLC_BUILD_TOOLS=OFF -DPLC_BUILD_TESTS=ON

# Build only the plug-ins (every one plc_add_plugin made, as listed in
# plugins.txt) and the executables of the unit-labelled tests (their targets
# carry the test's name).
mapfile -t UNIT_TESTS < <(ctest --test-dir "$BUILD" -N -L unit | sed -n 's/^ *Test *#[0-9]*: *//p')
mapfile -t PLUGINS < <(cut -d' ' -f1 "$BUILD/plugins.txt")
echo "== plug-ins: ${PLUGINS[*]}; unit tests: ${UNIT_TESTS[*]:-none}"
cmake --build "$BUILD" -j"$JOBS" --target "${PLUGINS[@]}" "${UNIT_TESTS[@]}"
BUILT=$(date +%s)

# Each an AArch64 library whose one dynamic symbol is the entry point, as
# tst_plugins checks it for the native build.
while read -r target lib; do
    machine="$(aarch64-linux-gnu-readelf -h "$lib" | sed -n 's/^ *Machine: *//p')"
    symbols="$(aarch64-linux-gnu-nm -D --defined-only --format=posix "$lib" | awk '{ print $1 }' | tr '\n' ' ')"
    echo "== $target: $machine, exports $symbols"
    [ "$machine" = AArch64 ] || { echo "$lib: not an AArch64 library" >&2; exit 1; }
    [ "$symbols" = "getSharedLibrary " ] || { echo "$lib: exports more than getSharedLibrary" >&2; exit 1; }
done < "$BUILD/plugins.txt"

# The toolchain file names qemu as the emulator, so ctest runs the aarch64
# test executables through it.
# A label that selects nothing fails: the run cannot pass by running nothing.
ctest --test-dir "$BUILD" -L unit --no-tests=error --output-on-failure -j"$JOBS"
END=$(date +%s)
echo "== aarch64: configure+build $((BUILT - START)) s, unit tests $((END - BUILT)) s"
