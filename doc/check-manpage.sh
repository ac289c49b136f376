#!/usr/bin/env bash
# Keeps a man page in step with its program's --help: every option, command
# and driver name that --help lists must be an item (.TP tag) of the man
# page, and every option the man page has as an item must still be in
# --help. Prints what is missing; exit status 1 then.
#
#   doc/check-manpage.sh PROGRAM MANPAGE
set -euo pipefail

PROGRAM="$1"
MANPAGE="$2"

HELP="$("$PROGRAM" --help 2>&1)" || { echo "$PROGRAM --help failed:" >&2; echo "$HELP" >&2; exit 1; }
[ -n "$HELP" ] || { echo "$PROGRAM --help printed nothing" >&2; exit 1; }

# Option-like tokens (-h, --fins-port) standing on their own, not the
# hyphen inside "pseudo-terminal" or "Ctrl-C".
options_in() {
    grep -oE '(^|[^A-Za-z0-9_-])--?[A-Za-z][A-Za-z0-9-]*' | sed -E 's/^[^-]*//' | sort -u
}

# Commands: the first word of each line indented by two spaces in a
# COMMAND(S) block of --help; continuation lines are indented further.
# Drivers: the names before "|" on the DRIVER line.
help_words() {
    awk '
        /^COMMANDS?([[:space:]]|$)/ { block = 1; if (NF > 1) print $2; next }
        /^[^[:space:]]/ || /^$/     { block = 0 }
        block && /^  [^ ]/          { print $1 }
        /^DRIVERS?[[:space:]]/      { n = split($0, parts, "|")
                                      for (i = 1; i < n; ++i) { split(parts[i], w, " "); print w[length(w)] } }
    ' | sort -u
}

# The man page's item tags (the line after each .TP), with roff escapes and
# font changes removed.
TAGS="$(sed -E 's/\\-/-/g; s/\\f[BIRP]//g; s/\\\(dq/"/g' "$MANPAGE" |
    awk 'tp { print; tp = 0 } /^\.TP/ { tp = 1 }' |
    sed -E 's/^\.[A-Z]+[[:space:]]+//; s/"//g')"
TAG_WORDS="$(printf '%s\n' "$TAGS" | awk '{ for (i = 1; i <= NF; ++i) print $i }' | sed -E 's/[,()]//g' | sort -u)"
TAG_OPTIONS="$(printf '%s\n' "$TAGS" | options_in)"
HELP_OPTIONS="$(printf '%s\n' "$HELP" | options_in)"
HELP_WORDS="$(printf '%s\n' "$HELP" | help_words)"

missing=0
for opt in $HELP_OPTIONS; do
    grep -qxF -- "$opt" <<< "$TAG_OPTIONS" || { echo "$MANPAGE: no item for option $opt of --help" >&2; missing=1; }
done
for word in $HELP_WORDS; do
    grep -qxF -- "$word" <<< "$TAG_WORDS" || { echo "$MANPAGE: no item for $word of --help" >&2; missing=1; }
done
for opt in $TAG_OPTIONS; do
    grep -qxF -- "$opt" <<< "$HELP_OPTIONS" || { echo "$MANPAGE: option $opt is not in --help any more" >&2; missing=1; }
done
[ $missing -eq 0 ] || exit 1
echo "$(basename "$MANPAGE"): $(wc -w <<< "$HELP_OPTIONS") options and $(wc -w <<< "$HELP_WORDS") commands and drivers of --help documented"
