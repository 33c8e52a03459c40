# Sourced by the scripts that run programs against camsim: a scratch
# directory that goes at exit, together with the camsim started last, and
# start_camsim CAMSIM [OPTION...], which starts camsim (ending once the host
# is quiet for 3 s) and sets camsim_line to the pseudo-terminal it serves.
scratch=$(mktemp -d)
camsim_pid=
camsim_line=
cleanup() {
  if [[ -n "$camsim_pid" ]]; then kill "$camsim_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# shellcheck disable=SC2034 # camsim_line is read by the scripts that source this
start_camsim() {
  local camsim=$1 && shift
  # Emptied here, not by the child's redirection: that may come after the
  # first look below, which would then read an earlier camsim's line.
  : >"$scratch/camsim.out"
  "$camsim" --idle-exit-ms 3000 "$@" >"$scratch/camsim.out" &
  camsim_pid=$!
  for _ in $(seq 100); do
    [[ -s "$scratch/camsim.out" ]] && break
    sleep 0.05
  done
  camsim_line=$(head -n 1 "$scratch/camsim.out")
}
