#!/usr/bin/env bash
# Installs those of the given Debian packages that are not installed yet
# ("pkg" or "pkg:arch"); "@section" stands for every package of that section
# of cmake/debian-packages.txt. Does nothing, and needs no network, when all
# are installed. Runs apt-get as root, through sudo when the caller is not
# root.
#
#   cmake/debian-deps.sh @build @package
#   cmake/debian-deps.sh --list @cross      print the packages, install nothing
set -euo pipefail

LIST="$(dirname "${BASH_SOURCE[0]}")/debian-packages.txt"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The packages of one section of the list; an unknown section is an error.
section() {
    local name="$1" found
    found="$(awk -v want="[$name]" '
        /^[[:space:]]*(#|$)/ { next }
        /^\[/                { inside = ($1 == want); seen = seen || inside; next }
        inside               { print $1 }
        END                  { if (!seen) exit 3 }' "$LIST")" ||
        { echo "debian-deps.sh: no section [$name] in $LIST" >&2; exit 2; }
    printf '%s\n' "$found"
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

list_only=0
wanted=()
for arg in "$@"; do
    case "$arg" in
        --list) list_only=1 ;;
        @*) packages="$(section "${arg#@}")" || exit 2
            mapfile -t -O "${#wanted[@]}" wanted <<< "$packages" ;;
        *) wanted+=("$arg") ;;
    esac
done
if [ $list_only -eq 1 ]; then
    printf '%s\n' "${wanted[@]}"
    exit 0
fi

missing=()
for p in "${wanted[@]}"; do
    installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "== installing: ${missing[*]}"
as_root apt-get update
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
