#!/usr/bin/env bash
# update-symbols.sh [LIBRARY-64 LIBRARY-32]: writes the package's symbols file
# anew from the shared library built for 64 bits (preset release) and for 32
# bits (preset i386); both are built first unless given. A symbol exported
# alike by both is kept as it is; one whose name differs between them (a
# size's width shows in its mangled name) is kept for each width with its
# arch-bits tag. Constants defined in headers (unique symbols) are emitted
# wherever the compiler did not fold them (more of them in a debug build), so
# they are kept as optional on every architecture.
# Symbols already kept keep their version; new ones get the package's.
set -euo pipefail
cd "$(dirname "$0")/.."
if (($# == 2)); then
  wide=$(realpath "$1")
  narrow=$(realpath "$2")
else
  for preset in release i386; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target pelox_shared >/dev/null
  done
  wide=build/release/packaging/libpelox.so
  narrow=build/i386/packaging/libpelox.so
fi

soname=$(objdump -p "$wide" | sed -nE 's/^ +SONAME +(.*)$/\1/p')
package="lib$(sed -E 's/^lib(.*)\.so\.([0-9]+)$/\1\2/' <<<"$soname")"
symbols=debian/$package.symbols
version=$(dpkg-parsechangelog -S Version | sed -E 's/-[^-]+$//')

# "KIND NAME" for each export: KIND u for a unique symbol, d for the rest.
exports() {
  nm -D --defined-only --demangle "$1" | sed -nE 's/^[0-9a-f]+ (u) (.*)$/\1 \2/p; s/^[0-9a-f]+ [A-TV-Za-tv-z] (.*)$/d \1/p' |
    LC_ALL=C sort -u
}

{
  echo "$soname $package #MINVER#"
  echo "* Build-Depends-Package: $(sed -E 's/[0-9]+$//' <<<"$package")-dev"
  # Earlier versions first, then the 64-bit and the 32-bit exports.
  { [[ -f "$symbols" ]] && sed -nE 's/^ \([^)]*\)"(.*)@Base" (.*)$/v \2 \1/p' "$symbols"
    exports "$wide" | sed 's/^/64 /'
    exports "$narrow" | sed 's/^/32 /'
  } | awk -v version="$version" '
    $1 == "v" { name = substr($0, length($1 $2) + 3); kept[name] = $2; next }
    {
      kind = $2; name = substr($0, length($1 $2) + 3)
      bits[name] = bits[name] $1; unique[name] = unique[name] || kind == "u"
    }
    END {
      for (name in bits) {
        tags = "c++"
        # An optional symbol may be missing anywhere; its name is a variable
        # and has no width of its own.
        if (unique[name]) tags = tags "|optional"
        else if (bits[name] == "64") tags = tags "|arch-bits=64"
        else if (bits[name] == "32") tags = tags "|arch-bits=32"
        printf " (%s)\"%s@Base\" %s\n", tags, name, (name in kept) ? kept[name] : version
      }
    }' | LC_ALL=C sort -t '"' -k 2
} >"$symbols.new"
mv "$symbols.new" "$symbols"
echo "$symbols: $(grep -c '^ ' "$symbols") symbols, $(grep -c 'arch-bits=64' "$symbols") of them for 64 bits only and $(grep -c 'arch-bits=32' "$symbols") for 32 bits only"
