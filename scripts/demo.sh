#!/usr/bin/env bash
# A short tour of the driver plug-ins against the bundled PLC simulator: one
# plcsim process serves FINS/TCP on a loopback port, FINS/UDP on 127.0.0.10
# (FINS node 10) and Host Link on a pseudo-terminal at 115200 baud from one
# memory image, so a value written through one plug-in is read back through
# the others; and EtherNet/IP with named variables, as an NX102 has them.
#
#   scripts/demo.sh                     uses build/ (made by scripts/setup.sh)
#   PLC_BUILD_DIR=/path scripts/demo.sh another build directory
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${PLC_BUILD_DIR:-$ROOT/build}"
PLCCTL="$BUILD/tools/plcctl/plcctl"
PLCSIM="$BUILD/tools/plcsim/plcsim"

for program in "$PLCCTL" "$PLCSIM"; do
    if [ ! -x "$program" ]; then
        echo "demo: $program is missing; build first (scripts/setup.sh)" >&2
        exit 1
    fi
done

SIM_OUT="$(mktemp)"
SIM_PID=""
cleanup() {
    if [ -n "$SIM_PID" ]; then
        kill "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    rm -f "$SIM_OUT"
}
trap cleanup EXIT

# Bound to 127.0.0.10 the simulator is FINS/UDP node 10: the last octet of
# its address, which is what the FINS/UDP plug-in assumes by default.
"$PLCSIM" --fins-port 0 --fins-udp-port 0 --cip-port 0 --bind 127.0.0.10 --serial 115200 --quiet >"$SIM_OUT" 2>&1 &
SIM_PID=$!

# plcsim prints where it serves once it is ready; give it up to 10 s.
FINS_ADDR=""
UDP_ADDR=""
SERIAL_DEV=""
CIP_ADDR=""
for _ in $(seq 1 100); do
    FINS_ADDR="$(sed -n 's/^FINS\/TCP listening on \([0-9.]*:[0-9]*\)$/\1/p' "$SIM_OUT")"
    UDP_ADDR="$(sed -n 's/^FINS\/UDP listening on \([0-9.]*:[0-9]*\)$/\1/p' "$SIM_OUT")"
    SERIAL_DEV="$(sed -n 's/^Host Link serial on \(\/dev\/[^ ]*\) at .*$/\1/p' "$SIM_OUT")"
    CIP_ADDR="$(sed -n 's/^EtherNet\/IP listening on \([0-9.]*:[0-9]*\)$/\1/p' "$SIM_OUT")"
    [ -n "$FINS_ADDR" ] && [ -n "$UDP_ADDR" ] && [ -n "$SERIAL_DEV" ] && [ -n "$CIP_ADDR" ] && break
    if ! kill -0 "$SIM_PID" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [ -z "$FINS_ADDR" ] || [ -z "$UDP_ADDR" ] || [ -z "$SERIAL_DEV" ] || [ -z "$CIP_ADDR" ]; then
    echo "demo: plcsim did not start:" >&2
    cat "$SIM_OUT" >&2
    exit 1
fi

FINS=(--connect "$FINS_ADDR" fins)
FINSUDP=(--connect "$UDP_ADDR" finsudp)
HOSTLINK=(--connect "$SERIAL_DEV,115200,8,1,E" --unit 0 hostlink)
CIP=(--connect "$CIP_ADDR" cip)
CIPCONN=(--connect "$CIP_ADDR,connected=on" cip)
CMODE=(--connect "$SERIAL_DEV,115200,8,1,E" --unit 0 hostlinkc)

step() {
    printf '\n== %s\n' "$1"
}

show() {
    # The command as a user would type it (with plcctl's short name).
    local shown=("plcctl")
    local arg
    for arg in "$@"; do
        shown+=("$arg")
    done
    printf '$ %s\n' "${shown[*]}"
    "$PLCCTL" "$@"
}

step "plcsim: FINS/TCP on $FINS_ADDR, FINS/UDP on $UDP_ADDR (node 10), Host Link on $SERIAL_DEV at 115200 baud (unit 0)"
show "${FINS[@]}" info
show "${FINSUDP[@]}" info

step "Write through FINS/TCP (each write is read back)"
show "${FINS[@]}" write D100 Int16 1234 -5678
show "${FINS[@]}" write D110 Float -123.456
show "${FINS[@]}" write D120 Int32 -100000 2147483647
show "${FINS[@]}" write D130 Double 3.141592653589793
show "${FINS[@]}" write W10.3 Bool 1 0 1

step "Read the same words through Host Link over the serial line"
show "${HOSTLINK[@]}" read D100 Int16 2
show "${HOSTLINK[@]}" read D110 Float
show "${HOSTLINK[@]}" read D120 Int32 2
show "${HOSTLINK[@]}" read D130 Double
show "${HOSTLINK[@]}" read W10.3 Bool 3

step "The REAL -123.456 (0xC2F6E979) in PLC words: low word first"
OUT="$(show "${FINS[@]}" read D110 UInt16 2)"
echo "$OUT"
WORDS="$(sed -n 's/^D110 UInt16\[2\] = //p' <<<"$OUT")"
# shellcheck disable=SC2086 # two numbers, split on purpose
printf 'in hex: D110 = %04X, D111 = %04X\n' $WORDS

step "Read them once more through FINS/UDP"
show "${FINSUDP[@]}" read D100 Int16 2
show "${FINSUDP[@]}" read D110 Float
show "${FINSUDP[@]}" read W10.3 Bool 3

step "Write through Host Link, read through FINS/TCP and FINS/UDP"
show "${HOSTLINK[@]}" write D200 UInt64 18446744073709551615
show "${HOSTLINK[@]}" write D210 Int8 -1 2 -3
show "${FINS[@]}" read D200 UInt64
show "${FINSUDP[@]}" read D210 Int8 3

step "Write through FINS/UDP, read through Host Link"
show "${FINSUDP[@]}" write D300 Int64 -9223372036854775808 42
show "${HOSTLINK[@]}" read D300 Int64 2

step "Write through Host Link C-mode (controllers without FINS), read through FINS/TCP and FINS/UDP"
show "${CMODE[@]}" write D400 Float 2.5 -0.125
show "${CMODE[@]}" write D410 UInt16 $(seq 1 40)
show "${FINS[@]}" read D400 Float 2
show "${FINSUDP[@]}" read D410 UInt16 40
show "${CMODE[@]}" read W0 UInt16 2>&1 ||
    echo "(exit status $?: C-mode has no command for the W area; the driver refused it before sending)"

step "One traced exchange each (frames on stderr, lower-case hex)"
show --trace "${FINS[@]}" read D100 Int16 2 2>&1
show --trace "${HOSTLINK[@]}" read D100 Int16 2 2>&1
show --trace "${FINSUDP[@]}" read D100 Int16 2 2>&1
show --trace "${CMODE[@]}" read D100 Int16 2 2>&1

step "Results for scripts (--json) and a failure in words"
show --json "${FINS[@]}" read D120 Int32 2
show "${FINS[@]}" read X100 Int16 2>&1 ||
    echo "(exit status $?: the driver refused the unknown area before sending anything)"

step "NJ/NX variables by name over EtherNet/IP ($CIP_ADDR, an NX102)"
show "${CIP[@]}" info
show "${CIP[@]}" read Speed Int32
show "${CIP[@]}" read Recipe.Speed Float
show "${CIP[@]}" write Temps[0] Int16 1 2 3
show "${CIPCONN[@]}" read Temps[0] Int16 4
show "${CIPCONN[@]}" write Line.Axis[2].Pos Double 12.5
show "${CIP[@]}" write Message String "written by name"
show "${CIP[@]}" read Flags[0] Bool 8
show --trace "${CIP[@]}" read Speed Int32 2>&1
show "${CIP[@]}" read Speed Int16 2>&1 ||
    echo "(exit status $?: Speed is a DINT; the driver refuses to guess a value)"

step "Watch three tags for three rounds"
show "${FINS[@]}" watch D100:Int16:2 D110:Float W10.3:Bool:3 --interval 200 --count 3

printf '\n== demo done\n'
