#!/usr/bin/env bash
# Every "@section" a script or CI names must be a section of the Debian
# package list (an unknown one fails only on a machine that lacks the
# packages, that is a fresh CI machine), and the list must hold what the
# package check and the network tests run.
#
#   check-package-list.sh SOURCE_DIR
set -euo pipefail

ROOT="$1"
DEPS="$ROOT/cmake/debian-deps.sh"
status=0

mapfile -t used < <(grep -ohE 'debian-deps\.sh"?( +@[a-z]+)+' "$ROOT"/scripts/*.sh "$ROOT/.ci/run" |
    grep -oE '@[a-z]+' | sort -u)
[ ${#used[@]} -ge 4 ] || { echo "expected the scripts to name the build, test, cross and package sections: ${used[*]}" >&2; exit 1; }
for section in "${used[@]}"; do
    "$DEPS" --list "$section" > /dev/null || { echo "scripts name $section, which the list lacks" >&2; status=1; }
done

listed="$("$DEPS" --list @build @test @fuzz @cross @package)"
for p in cmake g++ clang libclang-rt-14-dev qtbase5-dev libqt5serialport5-dev dpkg-dev file lintian nftables iproute2 \
         g++-aarch64-linux-gnu qemu-user qtbase5-dev:arm64; do
    grep -qxF "$p" <<< "$listed" || { echo "the package list lacks $p" >&2; status=1; }
done
dups="$(sort <<< "$listed" | uniq -d)"
[ -z "$dups" ] || { echo "named more than once: $dups" >&2; status=1; }

# An unknown section is an error, not an empty list.
if "$DEPS" --list @no-such-section > /dev/null 2>&1; then
    echo "debian-deps.sh accepted an unknown section" >&2
    status=1
fi
[ $status -eq 0 ] && echo "package list: sections ${used[*]} found"
exit $status
