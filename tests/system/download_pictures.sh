#!/usr/bin/env bash
# download_pictures.sh BUILD-DIR PROGRAM.cpp pty CAMSIM
# download_pictures.sh BUILD-DIR PROGRAM.cpp sg-io HARNESS
# Builds the download-pictures example against the library installed from
# BUILD-DIR, gives a virtual camera pictures from files (one with a
# thumbnail and a sound, one bare, one larger than a storage chunk) and has
# the example download them over a pseudo-terminal (camsim) or through the
# SG_IO storage pipe under umockdev (HARNESS): every file must arrive byte
# for byte. Over the pseudo-terminal, Ctrl-C then stops a download under
# way, leaving no partial file.
set -euo pipefail
build_dir=$1 program=$2 port=$3 camera=$4
# shellcheck source=camsim_scratch.bash
source "$(dirname "$0")/camsim_scratch.bash"
"$(dirname "$0")/../packaging/build_installed_program.sh" "$build_dir" "$program" "$scratch"

pictures="$scratch/pictures"
mkdir "$pictures"
# 8-bit samples after a 44-byte header, as the camera keeps an uncompressed sound.
sample_sound() { { head -c 44 /dev/zero; head -c "$1" /dev/urandom; } >"$2"; }
if [[ $port == pty ]]; then
  head -c 9000 /dev/urandom >"$pictures/a.jpg"
  head -c 700 /dev/urandom >"$pictures/a.thm"
  sample_sound 1500 "$pictures/a.wav"
  head -c 1 /dev/urandom >"$pictures/b.jpg"
  head -c 4097 /dev/urandom >"$pictures/c.jpg"
else
  head -c 100000 /dev/urandom >"$pictures/a.jpg"
  head -c 5000 /dev/urandom >"$pictures/a.thm"
  sample_sound 40000 "$pictures/a.wav"
  head -c 1 /dev/urandom >"$pictures/b.jpg"
  head -c 32768 /dev/urandom >"$pictures/c.jpg"
fi

out="$scratch/out"
mkdir "$out"
if [[ $port == pty ]]; then
  start_camsim "$camera" --pictures "$pictures"
  "$scratch/program" "$out" "$camsim_line" | tee "$scratch/said"
else
  "$camera" --pictures "$pictures" -- "$scratch/program" "$out" /nonexistent/com1 |
    tee "$scratch/said"
fi
grep -q "the camera holds 3 pictures" "$scratch/said"
cmp "$pictures/a.jpg" "$out/picture-0001.jpg"
cmp "$pictures/a.thm" "$out/picture-0001-thumbnail.jpg"
cmp "$pictures/a.wav" "$out/picture-0001.wav"
cmp "$pictures/b.jpg" "$out/picture-0002.jpg"
cmp "$pictures/c.jpg" "$out/picture-0003.jpg"
[[ $(find "$out" -type f | wc -l) -eq 5 ]] || { ls -l "$out"; exit 1; }
[[ $port == pty ]] || exit 0

# Ctrl-C during a download that takes seconds at the line's speed.
rm -f "$pictures"/*
head -c 400000 /dev/urandom >"$pictures/big.jpg"
rm -f "$out"/*
start_camsim "$camera" --pictures "$pictures"
"$scratch/program" "$out" "$camsim_line" 2>"$scratch/progress" &
download_pid=$!
for _ in $(seq 200); do
  grep -q "%" "$scratch/progress" && break
  sleep 0.05
done
kill -INT "$download_pid"
started=$(date +%s%N)
status=0
wait "$download_pid" || status=$?
took_ms=$((($(date +%s%N) - started) / 1000000))
cat "$scratch/progress"; echo
echo "stopped with status $status after $took_ms ms"
[[ $status -eq 130 ]]
[[ $took_ms -lt 2000 ]]
[[ -z "$(ls -A "$out")" ]] || { ls -l "$out"; exit 1; }
