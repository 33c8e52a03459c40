#!/usr/bin/env bash
# Records the session recordings under tests/recordings again, against camsim
# and the SG_IO harness, with the uploader of a build (default: build/dev).
# Run it after an intended change of what crosses the wire, and commit the
# recordings with the change.
#   scripts/record-fixtures.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/dev}" && pwd)
camsim=$build/sim/camsim/camsim
uploader=$build/app/pelox-uploader
make_firmware=$build/tools/make-firmware
harness=$build/tests/system/umockdev_camera
out=$root/tests/recordings
cmake --build "$build" --target camsim pelox-uploader make-firmware umockdev_camera >/dev/null

scratch=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$scratch"' EXIT
cd "$scratch"

# record NAME PAYLOAD_BYTES "CAMSIM OPTIONS" UPLOADER OPTIONS...: one serial recording.
record() {
  local name=$1 payload=$2 camera=$3
  shift 3
  "$make_firmware" --version v517-1.10 --payload-size "$payload" >/dev/null
  # shellcheck disable=SC2086 # the camera's options are words
  rm -f camsim.out
  "$camsim" --idle-exit-ms 1500 --flash-busy-ms 800 $camera >camsim.out &
  local camsim_pid=$!
  until [[ -s camsim.out ]]; do sleep 0.05; done
  "$uploader" --plain --yes --port "$(head -1 camsim.out)" --record "$out/$name.jsonl" "$@" \
    >/dev/null 2>&1 || true
  wait "$camsim_pid" || true
  echo "$name: $(tail -1 "$out/$name.jsonl")"
}

record serial-115200 4000 "" --speed 115200
record serial-230400 4000 "" --speed 230400
record battery-refused 4000 "--battery 30"
record nak-storm 4000 "--fault nak@write-frame*6"
record unplug-mid-transfer 12000 "--unplug-after-bytes 8000"

# The largest image through the SG_IO storage pipe.
"$make_firmware" --version v517-1.10 --payload-size 2097056 >/dev/null
"$harness" --flash-ms 1000 -- "$uploader" --plain --yes --record "$out/storage-2mib.jsonl" \
  >/dev/null 2>&1 || true
echo "storage-2mib: $(tail -1 "$out/storage-2mib.jsonl")"
