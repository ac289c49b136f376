#!/usr/bin/env bash
# The thread check: the multi-threaded plug-in test (tests/threads) and the
# simulator it runs in-process, built with ThreadSanitizer in a build
# directory of their own (clang; only the targets the test needs), and run.
# Any ThreadSanitizer report fails, but those the suppressions file
# (scripts/tsan.supp) names inside Qt's own uninstrumented code.
#
#   scripts/tsan.sh
#   PLC_TSAN_BUILD_DIR=/tmp/t scripts/tsan.sh
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${PLC_TSAN_BUILD_DIR:-$ROOT/build-tsan}"
JOBS="${PLC_JOBS:-2}"

"$ROOT/cmake/debian-deps.sh" @build @fuzz

START=$(date +%s)
CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLC_WERROR=ON -DPLC_TSAN=ON
cmake --build "$BUILD" -j"$JOBS" --target tst_threads plcsim
BUILT=$(date +%s)

LOG="$BUILD/tsan.log"
export TSAN_OPTIONS="suppressions=$ROOT/scripts/tsan.supp:halt_on_error=0:exitcode=66:second_deadlock_stack=1:history_size=4"
status=0
ctest --test-dir "$BUILD" -R '^tst_threads$' --no-tests=error --output-on-failure -V > "$LOG" 2>&1 || status=$?
reports=$(grep -c '^WARNING: ThreadSanitizer' "$LOG" || true)
if [ "$status" -ne 0 ] || [ "$reports" -ne 0 ]; then
    grep -v '^QWARN\|^PASS' "$LOG" | tail -n 200
    echo "== thread check FAILED: test exit $status, $reports ThreadSanitizer report(s); whole log: $LOG"
    exit 1
fi
grep -E 'Totals|suppressions' "$LOG" || true
echo "== thread check: build $((BUILT - START)) s, run $(( $(date +%s) - BUILT )) s, no report"
