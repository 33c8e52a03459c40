#!/usr/bin/env bash
# The drawn dialog as a person sees it: pelox-uploader against camsim in a
# tmux pane of 40, 66 and 120 columns, read back with capture-pane. Every
# row of the box ends at the same column within the width, the whole
# message shows, Tab, Enter and Esc work, and resizing mid-upload leaves no
# fragments; the result stays on the screen as one line once the box is
# gone. At 34 columns a refused update shows why inside the box, still.
#   uploader_dialog_tmux.sh CAMSIM MAKE_FIRMWARE UPLOADER
set -euo pipefail
camsim=$1 make_firmware=$2 uploader=$3

scratch=$(mktemp -d)
socket="$scratch/tmux"
camsim_pid=
trap 'tmux -S "$socket" kill-server 2>/dev/null || true; [[ -z $camsim_pid ]] || kill "$camsim_pid" 2>/dev/null || true; rm -rf "$scratch"' EXIT
cd "$scratch"
"$make_firmware" --version v517-1.10 --payload-size 150000 >/dev/null

screen() { tmux -S "$socket" capture-pane -p -t dialog; }
# The lines the program printed, as printed: a long one wraps in the pane.
printed() { tmux -S "$socket" capture-pane -p -J -t dialog; }

# Waits until the screen (or another view of it) shows the text; fails
# with the screen after 30 s.
wait_for() {
  local view=${2:-screen}
  for _ in $(seq 300); do
    if "$view" | grep -qF -- "$1"; then return 0; fi
    sleep 0.1
  done
  echo "never shown: $1"
  "$view"
  return 1
}

# camsim on a line of its own, kept up however slowly the dialog is driven
# (a loaded machine may take seconds between two keys), and ended once the
# run is done so that its statement is written.
start_camsim() {
  local out=$1
  shift
  "$camsim" --idle-exit-ms 120000 "$@" >"$out" &
  camsim_pid=$!
  for _ in $(seq 50); do [[ -s "$out" ]] && break; sleep 0.1; done
  port=$(head -n1 "$out")
}
stop_camsim() {
  kill -TERM "$camsim_pid"
  wait "$camsim_pid"
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
  start_camsim "$scratch/camsim-$width.out" --flash-busy-ms 500
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
  wait_for "Writing Firmware is complete. (camera v517-1.00, image v517-1.10," printed
  tmux -S "$socket" kill-server
  stop_camsim
  grep -q "was flashed" "$scratch/camsim-$width.out"
  echo "$width columns: drawn, resized and updated"
done

start_camsim "$scratch/camsim-same.out" --firmware-version v517-1.10
tmux -S "$socket" new-session -d -s dialog -x 34 -y 24 \
  "TERM=xterm-256color '$uploader' --port '$port'; echo \$? >'$scratch/status'; sleep 30"
# The reason inside the box before Close, and nothing turning any more.
wait_for "already has"
screen | grep -q '^| .*already has.*|$' || { echo "the detail is not inside the box"; screen; exit 1; }
check_box 34
screen | grep -q 'Esc close$' || { echo "the key hint is cut"; screen; exit 1; }
sleep 0.5
if screen | grep -q busy; then echo "still busy after the chain ended"; screen; exit 1; fi
tmux -S "$socket" send-keys -t dialog Escape
for _ in $(seq 50); do [[ -s "$scratch/status" ]] && break; sleep 0.1; done
[[ $(cat "$scratch/status") == 6 ]]
wait_for "Firmware is not correct. - the camera already has v517-1.10, and the image is v517-1.10 (--allow-reinstall writes it again) (camera v517-1.10," printed
tmux -S "$socket" kill-server
stop_camsim
echo "34 columns: the refusal explained inside the box and after it"

# However the program ends while the dialog is drawn, the terminal gets its
# settings back.
for signal in SEGV QUIT; do
  start_camsim "$scratch/camsim-$signal.out"
  rm -f "$scratch/before" "$scratch/after" "$scratch/pid"
  tmux -S "$socket" new-session -d -s dialog -x 66 -y 24 \
    "stty -g >'$scratch/before'; sh -c 'echo \$\$ >$scratch/pid; exec env TERM=xterm-256color $uploader --port $port'; stty -g >'$scratch/after'; sleep 30"
  wait_for "[ Upload ]"
  kill -"$signal" "$(cat "$scratch/pid")"
  for _ in $(seq 100); do [[ -s "$scratch/after" ]] && break; sleep 0.1; done
  cmp "$scratch/before" "$scratch/after" || { echo "SIG$signal left the terminal changed"; exit 1; }
  tmux -S "$socket" kill-server
  stop_camsim
  echo "SIG$signal: the terminal's settings restored"
done
