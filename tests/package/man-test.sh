#!/usr/bin/env bash
# The manual pages format without a single groff warning, and each one documents every
# option that its program's --help shows.
#   man-test.sh PAGE PROGRAM [PAGE PROGRAM]...
# Exit status 77 (skipped) when groff is missing.
set -uo pipefail

if ! command -v groff >/dev/null 2>&1; then
    echo "SKIP: groff is missing (apt-get install groff-base)"
    exit 77
fi

status=0
fail() {
    echo "FAIL: $*"
    status=1
}

while [ $# -ge 2 ]; do
    page=$1 program=$2
    shift 2
    warnings=$(groff -ww -man -z "$page" 2>&1) || fail "$page: groff failed"
    [ -z "$warnings" ] || fail "$page: $warnings"
    help=$(QT_QPA_PLATFORM=offscreen "$program" --help) || fail "$program --help failed"
    text=$(sed 's/\\-/-/g' "$page") # roff writes a hyphen of an option as \-
    for option in $(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u); do
        grep -qF -- "$option" <<<"$text" || fail "$page does not document $option"
    done
done
exit $status
