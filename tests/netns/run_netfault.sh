#!/bin/sh
# Runs the network-fault test program inside a private network namespace of
# its own (loopback only), and removes the namespace, with any firewall table
# in it, whatever way the run ends. Exits 77 (skipped) with the reason where
# that cannot be done: not root, no ip or nft, no namespaces; in CI
# (CI=true) that is a failure (exit 1) instead.
#
#   run_netfault.sh TEST_PROGRAM [ARGUMENTS...]

set -u
program=$1
shift

skip() {
    if [ "${CI:-}" = true ]; then
        echo "FAIL: network-fault test cannot run in CI: $*"
        exit 1
    fi
    echo "SKIP: network-fault test: $*"
    exit 77
}

[ "$(id -u)" = 0 ] || skip "needs root (network namespaces and nftables)"
command -v ip >/dev/null 2>&1 || skip "no ip command (Debian package iproute2)"
command -v nft >/dev/null 2>&1 || skip "no nft command (Debian package nftables)"

# Namespaces of runs that were killed outright carry their dead owner's pid.
for ns in $(ip netns list 2>/dev/null | awk '/^plcnetfault-[0-9]+/ { print $1 }'); do
    kill -0 "${ns#plcnetfault-}" 2>/dev/null || ip netns delete "$ns" 2>/dev/null
done

ns=plcnetfault-$$
error=$(ip netns add "$ns" 2>&1) || skip "ip netns add failed: $error"
# Everything in the namespace was started by this run: end it, then the namespace.
cleanup() {
    pids=$(ip netns pids "$ns" 2>/dev/null)
    [ -n "$pids" ] && kill -KILL $pids 2>/dev/null
    ip netns delete "$ns"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

error=$(ip -n "$ns" link set lo up 2>&1) || skip "cannot bring up loopback in the namespace: $error"
error=$(ip netns exec "$ns" nft list tables 2>&1) || skip "nftables does not work in the namespace: $error"

# In the background, so that a signal to this script ends the run at once.
NETFAULT_NETNS=$ns ip netns exec "$ns" "$program" "$@" &
wait $!
