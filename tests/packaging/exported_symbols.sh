#!/usr/bin/env bash
# exported_symbols.sh LIBRARY: the library exports exactly the symbols the
# Debian symbols file keeps for this machine's architecture, checked as the
# package build checks them; a new export is added there on purpose.
set -euo pipefail
exec "$(dirname "$0")/../../.ci/check-symbols" "$1"
