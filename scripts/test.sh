#!/usr/bin/env bash
# The whole test suite, twice: a plain build in build/ and an
# AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/.
# Installs missing build dependencies first (apt-get; root or sudo).
# Exits non-zero when anything fails to build or any test fails.
#
#   scripts/test.sh              both builds
#   PLC_JOBS=4 scripts/test.sh   more parallel jobs (default 2)
#   PLC_BUILD_DIR=/tmp/b PLC_ASAN_BUILD_DIR=/tmp/a scripts/test.sh
#                                other build directories
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${PLC_JOBS:-2}"
BUILD_DIR="${PLC_BUILD_DIR:-$ROOT/build}"
ASAN_BUILD_DIR="${PLC_ASAN_BUILD_DIR:-$ROOT/build-asan}"

"$ROOT/cmake/debian-deps.sh" @build @test

# Driver objects are never deleted (the host cannot delete them through the
# interface), so leak reports would only list them.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

TIMES=()
FAILED=()

run_suite() {
    local dir="$1" name
    name="$(basename "$dir")"
    shift
    local t0 t1 t2
    echo "== $name: configure and build"
    t0=$(date +%s)
    if ! cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLC_WERROR=ON "$@"; then
        FAILED+=("$name (configure)")
        return
    fi
    if ! cmake --build "$dir" -j"$JOBS"; then
        FAILED+=("$name (build)")
        return
    fi
    t1=$(date +%s)
    echo "== $name: tests"
    if ! ctest --test-dir "$dir" --no-tests=error --output-on-failure -j"$JOBS"; then
        FAILED+=("$name (tests)")
    fi
    t2=$(date +%s)
    TIMES+=("$name: configure+build $((t1 - t0)) s, tests $((t2 - t1)) s")
}

run_suite "$BUILD_DIR" -DPLC_SANITIZE=OFF
run_suite "$ASAN_BUILD_DIR" -DPLC_SANITIZE=ON

printf '== %s\n' "${TIMES[@]}"
if [ ${#FAILED[@]} -ne 0 ]; then
    printf '== FAILED: %s\n' "${FAILED[@]}"
    exit 1
fi
echo "== all tests passed (plain and sanitized)"
