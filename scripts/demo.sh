#!/usr/bin/env bash
# The whole firmware update against the virtual camera: builds what is
# missing, starts camsim on a pseudo-terminal, writes a sample Firmware.bin
# newer than the camera's firmware into a scratch directory and runs
# pelox-uploader there. It ends with the uploader's "Writing Firmware is
# complete." and camsim's own statement on the image it received.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

camera_version=v517-1.00
image_version=v517-1.10

echo "== Building camsim, make-firmware and pelox-uploader (dev preset, shared with the tests)"
cmake --preset dev >/dev/null
cmake --build --preset dev --target camsim make-firmware pelox-uploader
bin="$repo/build/dev"

scratch=$(mktemp -d)
camsim_out="$scratch/camsim.out"
camsim_pid=
cleanup() {
  if [[ -n "$camsim_pid" ]]; then kill "$camsim_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

echo
echo "== Starting the virtual camera (firmware $camera_version)"
"$bin/sim/camsim/camsim" --firmware-version "$camera_version" --flash-busy-ms 3000 \
  --exit-after-flash >"$camsim_out" &
camsim_pid=$!
for _ in $(seq 100); do
  [[ -s "$camsim_out" ]] && break
  sleep 0.05
done
line=$(head -n 1 "$camsim_out")
[[ -c "$line" ]] || { echo "camsim did not start" >&2; exit 1; }
echo "camsim serves the camera's serial line on $line"

echo
echo "== Writing a sample firmware image ($image_version) into $scratch"
cd "$scratch"
"$bin/tools/make-firmware" --version "$image_version" --payload-size 65536

echo
echo "== pelox-uploader --plain --yes --com1 $line --com2 /nonexistent"
status=0
"$bin/app/pelox-uploader" --plain --yes --com1 "$line" --com2 /nonexistent || status=$?
echo "(pelox-uploader exit status $status)"

echo
echo "== The virtual camera's statement"
wait "$camsim_pid" || true
camsim_pid=
statement=$(tail -n +2 "$camsim_out")
echo "$statement"

[[ $status -eq 0 && "$statement" == *"arrived byte for byte"* && "$statement" == *"was flashed"* ]]
