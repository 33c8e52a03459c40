#!/usr/bin/env bash
# exported_symbols.sh LIBRARY SYMBOLS-FILE: the library exports exactly the
# symbols the Debian symbols file keeps; a new export is added there on purpose.
# Constants defined in headers (unique symbols, "u") are emitted wherever the
# compiler did not fold them, so they vary with optimisation and are kept
# as optional.
set -euo pipefail
exported=$(nm -D --defined-only --demangle "$1" | sed -nE 's/^[0-9a-f]+ [A-TV-Za-tv-z] //p' |
  LC_ALL=C sort -u)
kept=$(sed -nE 's/^ \(c\+\+\)"(.*)@Base" .*/\1/p' "$2" | LC_ALL=C sort -u)
if [[ "$exported" != "$kept" ]]; then
  echo "exports differ from $2 (< exported only, > kept only):"
  diff <(echo "$exported") <(echo "$kept") | grep '^[<>]'
  exit 1
fi
echo "$(wc -l <<<"$exported") exported symbols, as kept"
