#!/usr/bin/env bash
# installed_program.sh BUILD-DIR CAMSIM PROGRAM.cpp [CAMSIM-OPTION...]:
# installs the library from BUILD-DIR into a scratch prefix, builds PROGRAM
# there against the installed headers (<pelox/...> only) and libpelox.so
# through pkg-config, and runs it against a camsim started with the options.
set -euo pipefail
build_dir=$1 camsim=$2 program=$3
shift 3
scratch=$(mktemp -d)
camsim_pid=
cleanup() {
  if [[ -n "$camsim_pid" ]]; then kill "$camsim_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

cmake --install "$build_dir" --prefix "$scratch/prefix" --component dev >/dev/null
pc_dir=$(dirname "$(find "$scratch/prefix" -name pelox.pc)")
# A sanitized build's library needs the sanitizers' runtimes in the program.
sanitizers=()
# (Not `ldd | grep -q`: grep's early exit fails the pipe under pipefail.)
if [[ "$(ldd "$pc_dir/../libpelox.so" 2>/dev/null)" == *libasan* ]]; then
  sanitizers=(-fsanitize=address,undefined)
fi
# shellcheck disable=SC2046
g++ -std=c++20 -Wall -Wextra -Werror "${sanitizers[@]}" -o "$scratch/program" "$program" \
  $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs pelox) -Wl,-rpath,"$pc_dir/.."

"$camsim" --idle-exit-ms 3000 "$@" >"$scratch/camsim.out" &
camsim_pid=$!
for _ in $(seq 100); do
  [[ -s "$scratch/camsim.out" ]] && break
  sleep 0.05
done
"$scratch/program" "$(head -n 1 "$scratch/camsim.out")"
