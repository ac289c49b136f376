#!/usr/bin/env bash
# Installs those of the given Debian packages that are not installed yet
# ("pkg" or "pkg:arch"); does nothing, and needs no network, when all are.
# Runs apt-get as root, through sudo when the caller is not root.
#
#   cmake/debian-deps.sh cmake g++ qtbase5-dev
set -euo pipefail

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# "pkg" means the native architecture (or an architecture-independent
# package); with multiarch, other architectures of it may be installed too.
installed() {
    local name="$1" arch
    if [[ "$name" == *:* ]]; then
        arch="${name#*:}"
        name="${name%%:*}"
    else
        arch="$(dpkg --print-architecture)"
    fi
    dpkg-query -W -f='${db:Status-Status} ${Architecture}\n' "$name" 2>/dev/null |
        grep -Eq "^installed ($arch|all)\$"
}

missing=()
for p in "$@"; do
    installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "== installing: ${missing[*]}"
as_root apt-get update
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
