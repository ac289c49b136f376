#!/usr/bin/env bash
# First step on a fresh Debian machine: installs the missing build
# dependencies (apt-get; root or sudo), configures and builds everything in
# build/ (plug-ins, plcsim, plcctl, benchmarks, tests), then runs the demo.
# PLC_BUILD_DIR names another build directory (the demo then uses it too).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${PLC_JOBS:-2}"
export PLC_BUILD_DIR="${PLC_BUILD_DIR:-$ROOT/build}"

"$ROOT/cmake/debian-deps.sh" @build

cmake -S "$ROOT" -B "$PLC_BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$PLC_BUILD_DIR" -j"$JOBS"

if [ -x "$ROOT/scripts/demo.sh" ]; then
    "$ROOT/scripts/demo.sh"
elif [ -f "$ROOT/scripts/demo.sh" ]; then
    bash "$ROOT/scripts/demo.sh"
fi
