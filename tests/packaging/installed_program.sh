#!/usr/bin/env bash
# installed_program.sh BUILD-DIR CAMSIM PROGRAM.cpp [CAMSIM-OPTION...]:
# installs the library from BUILD-DIR into a scratch prefix, builds PROGRAM
# there against the installed headers (<pelox/...> only) and libpelox.so
# through pkg-config, and runs it against a camsim started with the options.
set -euo pipefail
build_dir=$1 camsim=$2 program=$3
shift 3
# shellcheck source=../system/camsim_scratch.bash
source "$(dirname "$0")/../system/camsim_scratch.bash"
"$(dirname "$0")/build_installed_program.sh" "$build_dir" "$program" "$scratch"
start_camsim "$camsim" "$@"
"$scratch/program" "$camsim_line"
