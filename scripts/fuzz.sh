#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (ASan + UBSan) in a build
# directory of their own and runs each for a fixed time, two at a time. A
# crash, a sanitizer report, a leak or a timeout fails the run; the log then
# shows the report, the saved reproducer (as hex) and the command that
# replays it. Runs start from the committed seeds (fuzz/corpus/NAME); what
# they find goes to the build directory, never into the repository.
#
#   scripts/fuzz.sh                       every target, 30 s each
#   PLC_FUZZ_SECONDS=600 scripts/fuzz.sh fuzz_hlink_answer    one, longer
#   PLC_FUZZ_BUILD_DIR=/tmp/f scripts/fuzz.sh
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${PLC_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
JOBS="${PLC_JOBS:-2}"
SECONDS_EACH="${PLC_FUZZ_SECONDS:-30}"

"$ROOT/cmake/debian-deps.sh" @build @fuzz

START=$(date +%s)
CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLC_WERROR=ON \
    -DPLC_FUZZ=ON -DPLC_BUILD_TESTS=OFF
cmake --build "$BUILD" -j"$JOBS" --target plc_fuzzers
BUILT=$(date +%s)

if [ $# -gt 0 ]; then
    TARGETS=("$@")
else
    mapfile -t TARGETS < <(cd "$ROOT/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
fi

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# One target: its own working corpus (new inputs go there; the committed
# seeds are only read), its artifact directory, its log in a file.
run_one() {
    local name="$1" work="$BUILD/fuzz-runs/$1"
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/artifacts"
    "$BUILD/fuzz/$name" "$work/corpus" "$ROOT/fuzz/corpus/${name#fuzz_}" \
        -max_total_time="$SECONDS_EACH" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/artifacts/" -print_final_stats=1 > "$work/log" 2>&1
}

report() {
    local name="$1" work="$BUILD/fuzz-runs/$1" status="$2" f
    if [ "$status" -eq 0 ]; then
        echo "== $name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/log" | awk '{print $2}') runs in ${SECONDS_EACH} s, no fault"
        return 0
    fi
    echo "== $name: FAILED (exit $status); its log:"
    tail -n 80 "$work/log"
    for f in "$work"/artifacts/*; do
        [ -e "$f" ] || continue
        echo "== $name: reproducer $f ($(stat -c %s "$f") bytes):"
        od -A x -t x1z -v "$f" | head -n 64
        echo "== replay: $BUILD/fuzz/$name $f"
    done
    return 1
}

FAILED=()
for ((i = 0; i < ${#TARGETS[@]}; i += 2)); do
    pids=()
    for name in "${TARGETS[@]:i:2}"; do
        [ -x "$BUILD/fuzz/$name" ] || { echo "no fuzz target $name" >&2; exit 2; }
        run_one "$name" & pids+=($!)
    done
    j=0
    for name in "${TARGETS[@]:i:2}"; do
        status=0
        wait "${pids[$j]}" || status=$?
        report "$name" "$status" || FAILED+=("$name")
        j=$((j + 1))
    done
done

echo "== fuzz: build $((BUILT - START)) s, runs $(( $(date +%s) - BUILT )) s"
if [ ${#FAILED[@]} -ne 0 ]; then
    echo "== fuzz FAILED: ${FAILED[*]}"
    exit 1
fi
