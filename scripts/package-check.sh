#!/usr/bin/env bash
# CI's package step: builds the six Debian packages (scripts/package.sh),
# checks each with lintian (no errors, no warnings that are not overridden
# with a reason in packaging/debian/lintian-overrides), installs the amd64
# ones with dpkg, runs the installed plcctl against the installed plcsim
# through every plug-in, builds the out-of-tree host of tests/install against
# the installed -dev package, then purges the packages again; the arm64
# packages' architecture and contents are checked with dpkg-deb.
#
# Installs and removes system packages: run it as root on a machine where
# no plcdrivers package is installed (CI, or a test machine). The packages
# are purged whether the checks pass or fail.
#
#   scripts/package-check.sh
#   PLC_PACKAGE_DIR=/tmp/debs scripts/package-check.sh
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export PLC_PACKAGE_DIR="${PLC_PACKAGE_DIR:-$ROOT/build/packages}"
OUT="$PLC_PACKAGE_DIR"
PACKAGES=(plcdrivers plcdrivers-dev plcdrivers-tools)
NATIVE="$(dpkg --print-architecture)"
WORK=""
SIM_PID=""
INSTALLED=0
START=$(date +%s)

step() { echo "== package-check: $*"; }
fail() { echo "package-check: $*" >&2; exit 1; }

cleanup() {
    local rc=$?
    if [ -n "$SIM_PID" ]; then
        kill "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    if [ $INSTALLED -eq 1 ]; then
        step "purge the packages"
        dpkg --purge plcdrivers-tools plcdrivers-dev plcdrivers > /dev/null || rc=1
    fi
    [ -n "$WORK" ] && rm -rf "$WORK"
    exit $rc
}
trap cleanup EXIT

[ "$(id -u)" -eq 0 ] || fail "installs packages with dpkg: run it as root"
for p in "${PACKAGES[@]}"; do
    if dpkg-query -W -f='${db:Status-Status}\n' "$p" 2>/dev/null | grep -qv '^not-installed$'; then
        fail "$p is installed on this machine already; remove it first (this check purges what it installs)"
    fi
done
"$ROOT/cmake/debian-deps.sh" @build @package
WORK="$(mktemp -d "${TMPDIR:-/tmp}/plcdrivers-package-check.XXXXXX")"

step "build the packages"
rm -f "$OUT"/plcdrivers*.deb
"$ROOT/scripts/package.sh"
T_BUILT=$(date +%s)

deb() { # deb NAME ARCH: the package file, which must exist
    local f=("$OUT/$1"_*_"$2".deb)
    [ -f "${f[0]}" ] || fail "no package $1 for $2 in $OUT"
    printf '%s\n' "${f[0]}"
}

# The arm64 packages: architecture, and the files a gateway needs, built for
# AArch64.
check_arm64() {
    local multiarch=aarch64-linux-gnu p f arch
    step "arm64 packages (dpkg-deb)"
    for p in "${PACKAGES[@]}"; do
        f="$(deb "$p" arm64)"
        arch="$(dpkg-deb -f "$f" Architecture)"
        [ "$arch" = arm64 ] || fail "$p (arm64) says Architecture: $arch"
        dpkg-deb -c "$f" | awk '{ print $6 }' | sed 's|^\./|/|' > "$WORK/$p.arm64.list"
        dpkg-deb -x "$f" "$WORK/arm64"
    done
    for f in "plcdrivers:/usr/lib/$multiarch/plcdrivers/libLibFinsNet.so" \
             "plcdrivers:/usr/lib/$multiarch/plcdrivers/libLibHLink.so" \
             "plcdrivers:/usr/lib/$multiarch/plcdrivers/libLibFinsUdp.so" \
             "plcdrivers:/usr/lib/$multiarch/plcdrivers/libLibCipNet.so" \
             "plcdrivers:/usr/lib/$multiarch/plcdrivers/libLibHLinkC.so" \
             "plcdrivers-dev:/usr/include/plcdrivers/CDriveBaseClass.h" \
             "plcdrivers-dev:/usr/include/plcdrivers/CLabelVariable.h" \
             "plcdrivers-dev:/usr/lib/$multiarch/libPlcLabelVariable.a" \
             "plcdrivers-dev:/usr/lib/$multiarch/pkgconfig/plcdrivers.pc" \
             "plcdrivers-dev:/usr/lib/$multiarch/cmake/PlcDrivers/PlcDriversConfig.cmake" \
             "plcdrivers-tools:/usr/bin/plcctl" "plcdrivers-tools:/usr/bin/plcsim" \
             "plcdrivers-tools:/usr/share/man/man1/plcctl.1.gz"; do
        grep -qxF "${f#*:}" "$WORK/${f%%:*}.arm64.list" || fail "${f%%:*} (arm64) lacks ${f#*:}"
    done
    for f in "$WORK/arm64/usr/lib/$multiarch/plcdrivers"/*.so "$WORK"/arm64/usr/bin/*; do
        file -b "$f" | grep -q 'ARM aarch64' || fail "$f is not built for AArch64: $(file -b "$f")"
    done
    ! grep -q "x86_64" "$WORK"/*.arm64.list || fail "an arm64 package holds x86_64 paths"
}

# The port plcsim printed for SERVICE ("FINS/TCP", "Host Link TCP", "FINS/UDP").
sim_port() {
    sed -n "s|^$1 listening on 127\.0\.0\.1:\([0-9]*\)\$|\1|p" "$WORK/plcsim.out"
}

start_plcsim() {
    plcsim --fins-port 0 --hostlink-port 0 --fins-udp-port 0 --fill --quiet > "$WORK/plcsim.out" 2>&1 &
    SIM_PID=$!
    local deadline=$((SECONDS + 30))
    until [ -n "$(sim_port FINS/TCP)" ] && [ -n "$(sim_port 'Host Link TCP')" ] && [ -n "$(sim_port FINS/UDP)" ]; do
        kill -0 "$SIM_PID" 2>/dev/null || { cat "$WORK/plcsim.out" >&2; fail "plcsim ended early"; }
        [ $SECONDS -lt $deadline ] || { cat "$WORK/plcsim.out" >&2; fail "plcsim printed no ports within 30 s"; }
        sleep 0.1
    done
}

# The installed plcctl through every installed plug-in against the installed
# plcsim, then the installed-host test's host built against plcdrivers-dev.
check_installed() {
    local fins hl udp
    step "installed plcctl against the installed plcsim"
    start_plcsim
    fins="127.0.0.1:$(sim_port FINS/TCP)"
    hl="127.0.0.1:$(sim_port 'Host Link TCP')"
    udp="127.0.0.1:$(sim_port FINS/UDP)"
    plcctl --connect "$fins" fins write D300 Int32 -100000
    plcctl --connect "$hl" --unit 0 hostlink read D300 Int32 | tee "$WORK/hl.out"
    grep -q -- '= -100000$' "$WORK/hl.out" || fail "Host Link did not read back what FINS/TCP wrote"
    plcctl --connect "$udp" finsudp read D300 Int32 | tee "$WORK/udp.out"
    grep -q -- '= -100000$' "$WORK/udp.out" || fail "FINS/UDP did not read back what FINS/TCP wrote"
    plcctl fins doctor "$fins"
    plcctl --unit 0 hostlink doctor "$hl"
    plcctl finsudp doctor "$udp"
    plcctl hostlink read D0 Int16 # the built-in simulator, on a pseudo-terminal
    plcctl finsudp read D0 Int16  # the built-in simulator, FINS/UDP
    plcctl cip write Temps[0] Int16 1 2 3 # the built-in simulator, EtherNet/IP
    plcctl cip read Recipe.Speed Float
    plcctl cip doctor --probe Speed:Int32

    step "host of tests/install built against plcdrivers-dev"
    cmake -S "$ROOT/tests/install/host" -B "$WORK/host" -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$WORK/host.log" ||
        { cat "$WORK/host.log" >&2; fail "the host does not configure against the installed package"; }
    cmake --build "$WORK/host" >> "$WORK/host.log" || { cat "$WORK/host.log" >&2; fail "the host does not build"; }
    "$WORK/host/plchost" "${fins#*:}" "${hl#*:}"
    # shellcheck disable=SC2046
    c++ -std=c++17 -fPIC "$ROOT/tests/install/host/host.cpp" -o "$WORK/plchost-pc" \
        -DFINSNET_PLUGIN="\"$(pkg-config --variable=finsnet_plugin plcdrivers)\"" \
        -DHLINK_PLUGIN="\"$(pkg-config --variable=hlink_plugin plcdrivers)\"" \
        -DFINSUDP_PLUGIN="\"$(pkg-config --variable=finsudp_plugin plcdrivers)\"" \
        -DHLINKC_PLUGIN="\"$(pkg-config --variable=hlinkc_plugin plcdrivers)\"" \
        -DCIPNET_PLUGIN="\"$(pkg-config --variable=cipnet_plugin plcdrivers)\"" $(pkg-config --cflags --libs plcdrivers)
    "$WORK/plchost-pc" "${fins#*:}" "${hl#*:}"
    kill "$SIM_PID"
    wait "$SIM_PID" 2>/dev/null || true
    SIM_PID=""
}

step "lintian"
for arch in "$NATIVE" arm64; do
    for p in "${PACKAGES[@]}"; do
        # Overrides travel in the packages (usr/share/lintian/overrides);
        # anything left at warning level or above fails the step.
        lintian --fail-on error,warning --tag-display-limit 0 "$(deb "$p" "$arch")" ||
            fail "lintian found errors or warnings in $p ($arch)"
    done
done

check_arm64

step "install the $NATIVE packages"
INSTALLED=1
dpkg -i "$(deb plcdrivers "$NATIVE")" "$(deb plcdrivers-dev "$NATIVE")" "$(deb plcdrivers-tools "$NATIVE")" > /dev/null
{ command -v plcctl && command -v plcsim; } > /dev/null || fail "plcctl or plcsim not on PATH after dpkg -i"

check_installed

step "purge the packages"
dpkg --purge plcdrivers-tools plcdrivers-dev plcdrivers > /dev/null
INSTALLED=0
MULTIARCH="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
if [ -e "/usr/lib/$MULTIARCH/plcdrivers" ] || [ -e /usr/bin/plcctl ]; then fail "files left after the purge"; fi
END=$(date +%s)
echo "== package-check: passed in $((END - START)) s (packages built in $((T_BUILT - START)) s, checks $((END - T_BUILT)) s)"
