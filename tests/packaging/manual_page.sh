#!/usr/bin/env bash
# manual_page.sh PROGRAM PAGE: the page formats without a warning and names
# every long option and every exit status the program's --help lists.
set -euo pipefail
program=$1 page=$2
warnings=$(groff -ww -man -z "$page" 2>&1)
[[ -z "$warnings" ]] || { echo "$warnings"; exit 1; }
text=$(sed 's/\\-/-/g' "$page")
options=$("$program" --help 2>&1 | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u || true)
[[ -n "$options" ]] || { echo "no options in $program --help"; exit 1; }
missing=0
for option in $options; do
  grep -qE -- "${option}([^a-z0-9-]|$)" <<<"$text" || { echo "$page lacks $option"; missing=1; }
done
statuses=$("$program" --help 2>&1 | sed -nE 's/^  ([0-9]+) .*/\1/p')
for status in $statuses; do
  grep -qx "\.B $status" "$page" || { echo "$page lacks exit status $status"; missing=1; }
done
exit "$missing"
