#!/bin/sh
# Runs the rows of the network-fault test at once where they share no
# namespace: the short (3 s) rows one after another in one private network
# namespace, every longer row in a namespace of its own, all in parallel
# (run_netfault.sh makes each namespace). Prints each run's output when all
# have ended. Exits 0 when every run passed, 77 when the test was skipped
# (the reason is printed), 1 otherwise.
#
#   run_netfault_rows.sh TEST_PROGRAM

set -u
here=$(dirname "$0")
program=$1
function=lostNetwork
out=$(mktemp -d)
pids=""
trap 'rm -rf "$out"' EXIT
trap 'kill $pids 2>/dev/null; exit 130' INT
trap 'kill $pids 2>/dev/null; exit 143' TERM

"$program" -datatags | sed -n "s/^TestNetFault $function //p" > "$out/tags" || exit 1
[ -s "$out/tags" ] || { echo "no rows of $function in $program"; exit 1; }

set --
n=0
while IFS= read -r tag; do
    case "$tag" in
    *", 3 s,"*) set -- "$@" "$function:$tag" ;;
    *)
        n=$((n + 1))
        "$here/run_netfault.sh" "$program" "$function:$tag" > "$out/run$n" 2>&1 &
        pids="$pids $!"
        ;;
    esac
done < "$out/tags"
if [ $# -gt 0 ]; then
    n=$((n + 1))
    "$here/run_netfault.sh" "$program" "$@" > "$out/run$n" 2>&1 &
    pids="$pids $!"
fi

failed=0
skipped=0
for pid in $pids; do
    wait "$pid"
    case $? in
    0) ;;
    77) skipped=$((skipped + 1)) ;;
    *) failed=$((failed + 1)) ;;
    esac
done
pids=""
for i in $(seq 1 "$n"); do
    cat "$out/run$i"
done
[ "$failed" -gt 0 ] && exit 1
[ "$skipped" -eq "$n" ] && exit 77
[ "$skipped" -gt 0 ] && { echo "some runs were skipped"; exit 1; }
exit 0
