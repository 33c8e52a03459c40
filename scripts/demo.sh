#!/usr/bin/env bash
# The whole firmware update against the virtual camera: builds the three
# programs it needs (release, no tests; the build's output goes to
# build/demo-build.log), starts camsim on a pseudo-terminal, writes a sample
# Firmware.bin newer than the camera's firmware into a scratch directory and
# runs pelox-uploader there. It ends with the uploader's "Writing Firmware is
# complete." and camsim's own statement on the image it received.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

camera_version=v517-1.00
image_version=v517-1.10

# One line per stage; on failure the end of the log is shown.
mkdir -p build
log="$repo/build/demo-build.log"
: >"$log"
stage() {
  local what=$1 && shift
  echo "== $what"
  if ! "$@" >>"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "failed: $what (the whole log is in $log)" >&2
    exit 1
  fi
}
echo "== Build log: $log"
stage "Configuring the release build without tests (demo preset)" cmake --preset demo
stage "Building camsim, make-firmware and pelox-uploader" cmake --build --preset demo
bin="$repo/build/demo"

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
