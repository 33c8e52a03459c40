#!/usr/bin/env bash
# build_installed_program.sh BUILD-DIR PROGRAM.cpp DIR: installs the library
# from BUILD-DIR into DIR/prefix and builds PROGRAM as DIR/program against the
# installed headers (<pelox/...> only) and libpelox.so through pkg-config,
# with the sanitizers a sanitized library needs in the program.
set -euo pipefail
build_dir=$1 program=$2 dir=$3

cmake --install "$build_dir" --prefix "$dir/prefix" --component dev >/dev/null
pc_dir=$(dirname "$(find "$dir/prefix" -name pelox.pc)")
sanitizers=()
# (Not `ldd | grep -q`: grep's early exit fails the pipe under pipefail.)
if [[ "$(ldd "$pc_dir/../libpelox.so" 2>/dev/null)" == *libasan* ]]; then
  sanitizers=(-fsanitize=address,undefined)
fi
# shellcheck disable=SC2046
g++ -std=c++20 -Wall -Wextra -Werror "${sanitizers[@]}" -o "$dir/program" "$program" \
  $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs pelox) -Wl,-rpath,"$pc_dir/.."
