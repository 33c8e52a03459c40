#!/usr/bin/env bash
# The whole update through the SG_IO storage pipe: pelox-uploader under
# umockdev, whose mocked /dev/sg1 is the virtual camera, behind a USB disk of
# a camera maker that is no camera. Neither COM port has a device, so only
# the storage pipe can find the camera; then the listing and the dry run
# through the same pipe.
#   uploader_sg_io.sh HARNESS MAKE_FIRMWARE UPLOADER
set -euo pipefail
harness=$1 make_firmware=$2 uploader=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
# The largest image the camera takes, header included.
"$make_firmware" --version v517-1.10 --payload-size 2097056 >/dev/null

status=0
output=$("$harness" --flash-ms 1000 --expect-firmware 2097152 -- \
  "$uploader" --plain --yes --com1 /nonexistent/com1 --com2 /nonexistent/com2 2>&1) || status=$?
echo "$output"
[[ $status -eq 0 ]]
[[ "$output" == *"Writing Firmware is complete."* ]]
[[ "$output" == *"arrived byte for byte"*"was flashed"* ]]

# --list and --check read the camera through the same pipe and write nothing.
output=$("$harness" -- "$uploader" --list 2>&1)
echo "$output"
[[ "$output" == *$'/dev/sg1\tPELOX CO.,LTD.\tv517-1.00\tbattery '* ]]
[[ "$output" != *"/dev/sg0"* ]]
[[ "$output" == *"no firmware image was sent"* ]]
output=$("$harness" -- "$uploader" --check --device /dev/sg1 --log "$scratch/trace" 2>&1)
echo "$output"
[[ "$output" == *"would update v517-1.00 -> v517-1.10"* ]]
[[ "$output" == *"no firmware image was sent"* ]]
# The support trace has the pipe's SCSI commands and the frames they carry.
grep -Eq "scsi( [0-9A-F]{2}){16}: [0-9]+ bytes out, result" "$scratch/trace"
grep -q "frame out: command C, 2 bytes, get property" "$scratch/trace"

# A device that refuses every command from the transfer on: the failure
# carries its sense, in the detail, the JSON result and the trace.
status=0
output=$("$harness" --fault scsi-refusal@write-frame -- "$uploader" --json --yes \
  --log "$scratch/refused" --com1 /nonexistent/com1 --com2 /nonexistent/com2 2>&1) || status=$?
echo "$output"
[[ $status -eq 1 ]]
[[ "$output" == *"SCSI sense key 5, ASC 20h, ASCQ 00h)"* ]]
[[ "$output" == *'"sense":"7000050000000006000000002000"'* ]]
[[ "$output" == *'"port":"/dev/sg1"'* ]]
grep -q "result 4, status 02h, sense 70 00 05 00" "$scratch/refused"
