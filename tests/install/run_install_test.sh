#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, builds the tiny host in
# host/ against it (find_package, and once more with pkg-config flags only),
# starts the installed plcsim on free ports and runs the host against it.
#
#   run_install_test.sh BUILD_DIR CMAKE [extra compiler flags for the host]
set -euo pipefail

BUILD="$1"
CMAKE="$2"
HOST_FLAGS="${3:-}"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/plcdrivers-install.XXXXXX")"
PREFIX="$WORK/prefix"
SIM_PID=""

cleanup() {
    local rc=$?
    if [ -n "$SIM_PID" ]; then
        kill "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    if [ $rc -eq 0 ]; then rm -rf "$WORK"; else echo "install test failed; files kept in $WORK" >&2; fi
}
trap cleanup EXIT

step() { echo "== $*"; }

step "install into $PREFIX"
"$CMAKE" --install "$BUILD" --prefix "$PREFIX" > "$WORK/install.log"

LIBDIR="$(sed -n 's/^libdir=\${prefix}\///p' "$(find "$PREFIX" -name plcdrivers.pc | head -1)")"
for f in "$LIBDIR/plcdrivers/libLibFinsNet.so" "$LIBDIR/plcdrivers/libLibHLink.so" \
         "$LIBDIR/plcdrivers/libLibFinsUdp.so" "$LIBDIR/plcdrivers/libLibHLinkC.so" \
         "$LIBDIR/plcdrivers/libLibCipNet.so" \
         "$LIBDIR/libPlcLabelVariable.a" \
         include/plcdrivers/CDriveBaseClass.h include/plcdrivers/CLabelVariable.h \
         bin/plcsim bin/plcctl \
         "$LIBDIR/cmake/PlcDrivers/PlcDriversConfig.cmake" \
         "$LIBDIR/cmake/PlcDrivers/PlcDriversConfigVersion.cmake" \
         "$LIBDIR/pkgconfig/plcdrivers.pc"; do
    [ -e "$PREFIX/$f" ] || { echo "missing in the install tree: $f" >&2; exit 1; }
done
for lib in "$PREFIX/$LIBDIR"/plcdrivers/*.so; do
    nm -D --defined-only "$lib" | grep -qw getSharedLibrary ||
        { echo "$lib does not export getSharedLibrary" >&2; exit 1; }
done

step "host via find_package"
"$CMAKE" -S "$HERE/host" -B "$WORK/host-build" -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="$HOST_FLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="$HOST_FLAGS" > "$WORK/host-configure.log"
"$CMAKE" --build "$WORK/host-build" > "$WORK/host-build.log"

step "host via pkg-config"
export PKG_CONFIG_PATH="$PREFIX/$LIBDIR/pkgconfig"
FINS_SO="$(pkg-config --variable=finsnet_plugin plcdrivers)"
HLINK_SO="$(pkg-config --variable=hlink_plugin plcdrivers)"
FINSUDP_SO="$(pkg-config --variable=finsudp_plugin plcdrivers)"
HLINKC_SO="$(pkg-config --variable=hlinkc_plugin plcdrivers)"
CIPNET_SO="$(pkg-config --variable=cipnet_plugin plcdrivers)"
[ -f "$FINS_SO" ] && [ -f "$HLINK_SO" ] && [ -f "$FINSUDP_SO" ] && [ -f "$HLINKC_SO" ] && [ -f "$CIPNET_SO" ] ||
    { echo "pkg-config plug-in paths are wrong: $FINS_SO $HLINK_SO $FINSUDP_SO $HLINKC_SO $CIPNET_SO" >&2; exit 1; }
# shellcheck disable=SC2046,SC2086
c++ -std=c++17 -fPIC $HOST_FLAGS "$HERE/host/host.cpp" -o "$WORK/plchost-pc" \
    -DFINSNET_PLUGIN="\"$FINS_SO\"" -DHLINK_PLUGIN="\"$HLINK_SO\"" -DFINSUDP_PLUGIN="\"$FINSUDP_SO\"" \
    -DHLINKC_PLUGIN="\"$HLINKC_SO\"" -DCIPNET_PLUGIN="\"$CIPNET_SO\"" \
    $(pkg-config --cflags --libs plcdrivers)

step "installed plcsim"
"$PREFIX/bin/plcsim" --fins-port 0 --hostlink-port 0 --fill --quiet > "$WORK/plcsim.out" 2> "$WORK/plcsim.err" &
SIM_PID=$!
FINS_PORT=""
HL_PORT=""
deadline=$((SECONDS + 30))
while [ -z "$FINS_PORT" ] || [ -z "$HL_PORT" ]; do
    FINS_PORT="$(sed -n 's/^FINS\/TCP listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$WORK/plcsim.out")"
    HL_PORT="$(sed -n 's/^Host Link TCP listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$WORK/plcsim.out")"
    if ! kill -0 "$SIM_PID" 2>/dev/null; then
        echo "plcsim ended early:" >&2; cat "$WORK/plcsim.out" "$WORK/plcsim.err" >&2; exit 1
    fi
    if [ $SECONDS -ge $deadline ]; then
        echo "plcsim printed no ports within 30 s" >&2; cat "$WORK/plcsim.out" >&2; exit 1
    fi
    sleep 0.1
done
echo "FINS/TCP on $FINS_PORT, Host Link TCP on $HL_PORT"

step "run the hosts"
"$WORK/host-build/plchost" "$FINS_PORT" "$HL_PORT"
"$WORK/plchost-pc" "$FINS_PORT" "$HL_PORT"

step "installed plcctl finds the installed plug-ins"
"$PREFIX/bin/plcctl" --connect "127.0.0.1:$FINS_PORT" fins read D2 Int16 | tee "$WORK/plcctl.out"
grep -q 222 "$WORK/plcctl.out" || { echo "plcctl did not read D2 = 222" >&2; exit 1; }
