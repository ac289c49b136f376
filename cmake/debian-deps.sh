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

missing=()
for p in "$@"; do
    if [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" != installed ]; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "== installing: ${missing[*]}"
as_root apt-get update
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
