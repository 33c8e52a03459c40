#!/usr/bin/env bash
# Starts the virtual camera on a pseudo-terminal and shows the serial
# handshake with it: the host's probe 0x00 and the camera's 0x15 answer.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release --target camsim

camsim_out=$(mktemp)
build/release/sim/camsim/camsim >"$camsim_out" &
camsim=$!
trap 'kill "$camsim" 2>/dev/null || true; wait "$camsim" 2>/dev/null || true; rm -f "$camsim_out"' EXIT

# camsim's first line is the path of the line it serves.
for _ in $(seq 100); do
  [[ -s "$camsim_out" ]] && break
  sleep 0.05
done
line=$(head -n 1 "$camsim_out")
[[ -c "$line" ]] || { echo "camsim did not start" >&2; exit 1; }
echo "camsim serves the camera's serial line on $line"

exec 3<>"$line"
stty -F "$line" raw -echo 19200
printf '\x00' >&3
echo "host   -> camera: 00 (handshake probe)"
answer=$(timeout 2 dd bs=1 count=1 <&3 2>/dev/null | od -An -tx1 | tr -d ' \n')
echo "camera -> host:   ${answer:-nothing} (0x15 means: ready, send packets)"
exec 3<&-
[[ "$answer" == 15 ]]
