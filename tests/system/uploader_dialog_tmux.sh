#!/usr/bin/env bash
# The drawn dialog as a person sees it: pelox-uploader against camsim in a
# tmux pane of 40, 66 and 120 columns, read back with capture-pane. Every
# row of the box ends at the same column within the width, the whole
# message shows, Tab, Enter and Esc work, and resizing mid-upload leaves no
# fragments.
#   uploader_dialog_tmux.sh CAMSIM MAKE_FIRMWARE UPLOADER
set -euo pipefail
camsim=$1 make_firmware=$2 uploader=$3

scratch=$(mktemp -d)
socket="$scratch/tmux"
trap 'tmux -S "$socket" kill-server 2>/dev/null || true; rm -rf "$scratch"' EXIT
cd "$scratch"
"$make_firmware" --version v517-1.10 --payload-size 150000 >/dev/null

screen() { tmux -S "$socket" capture-pane -p -t dialog; }

# Waits until the screen shows the text; fails with the screen after 30 s.
wait_for() {
  for _ in $(seq 300); do
    if screen | grep -qF -- "$1"; then return 0; fi
    sleep 0.1
  done
  echo "never shown: $1"
  screen
  return 1
}

# Each row of the box starts at column 0 and ends at one column, within
# the pane's width; nothing stands beside it.
check_box() {
  local width=$1
  screen | awk -v width="$width" '
    /^[+|]/ {
      if (right == 0) right = length($0)
      if (length($0) != right || right > width) { print "bad row: [" $0 "]"; bad = 1 }
      last = substr($0, length($0), 1)
      if (last != "|" && last != "+") { print "open row: [" $0 "]"; bad = 1 }
    }
    END { exit bad }'
}

for width in 40 66 120; do
  "$camsim" --idle-exit-ms 3000 --flash-busy-ms 500 >"$scratch/camsim-$width.out" &
  for _ in $(seq 50); do [[ -s "$scratch/camsim-$width.out" ]] && break; sleep 0.1; done
  port=$(head -n1 "$scratch/camsim-$width.out")
  tmux -S "$socket" new-session -d -s dialog -x "$width" -y 24 \
    "TERM=xterm-256color '$uploader' --port '$port'; echo \$? >'$scratch/status'; sleep 30"
  wait_for "[ Upload ]"
  wait_for "Camera v517-1.00, image v517-1.10"
  check_box "$width"
  tmux -S "$socket" send-keys -t dialog Tab Enter
  wait_for "bytes"
  # A narrower pane mid-upload: the box follows it and leaves nothing behind.
  tmux -S "$socket" resize-window -t dialog -x 50
  sleep 0.5
  check_box 50
  wait_for "complete."
  check_box 50
  tmux -S "$socket" send-keys -t dialog Escape
  for _ in $(seq 50); do [[ -s "$scratch/status" ]] && break; sleep 0.1; done
  [[ $(cat "$scratch/status") == 0 ]]
  rm "$scratch/status"
  tmux -S "$socket" kill-server
  wait
  grep -q "was flashed" "$scratch/camsim-$width.out"
  echo "$width columns: drawn, resized and updated"
done
