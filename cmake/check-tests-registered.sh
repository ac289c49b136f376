#!/usr/bin/env bash
# Every tst_*.cpp under TESTS_DIR is a source of a program in MANIFEST
# ("source|program" lines), and every such program is run by a test of the
# build's CTest list. Names each source that is in no target and each
# program that no test runs.
#
#   check-tests-registered.sh TESTS_DIR MANIFEST CTEST BUILD_DIR
set -euo pipefail

tests_dir="$1" manifest="$2" ctest="$3" build="$4"
commands="$("$ctest" --test-dir "$build" -N -V | sed -n 's/^.*Test command: *//p')"
status=0 count=0
while IFS= read -r source; do
    count=$((count + 1))
    programs="$(awk -F'|' -v s="$source" '$1 == s { print $2 }' "$manifest")"
    if [ -z "$programs" ]; then
        echo "not in any target: ${source#"$tests_dir"/}" >&2
        status=1
        continue
    fi
    while IFS= read -r program; do
        if [ ! -x "$program" ]; then
            echo "not built (build everything before this check): $program" >&2
            status=1
        elif ! grep -qF -- "$program" <<< "$commands"; then
            echo "built but run by no test: $program (from ${source#"$tests_dir"/})" >&2
            status=1
        fi
    done <<< "$programs"
done < <(find "$tests_dir" -name 'tst_*.cpp' | sort)
[ "$count" -gt 0 ] || { echo "no tst_*.cpp under $tests_dir" >&2; exit 1; }
[ $status -eq 0 ] && echo "all $count test sources are built and run"
exit $status
