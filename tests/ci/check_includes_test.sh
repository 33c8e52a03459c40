#!/usr/bin/env bash
# The include check on a fake tree: a clean tree passes; a front end that
# includes another, the session or its diagnostics including a front end,
# and the core including the session each fail it.
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

plant() {  # plant FILE INCLUDED...
  mkdir -p "$tree/$(dirname "$1")"
  local file=$1 header
  shift
  : >"$tree/$file"
  for header in "$@"; do echo "#include \"$header\"" >>"$tree/$file"; done
}

fresh_tree() {
  rm -rf "${tree:?}"/*
  plant link/camera_link.h
  plant app/main_dialog.h link/camera_link.h
  plant app/session/update_session.h app/main_dialog.h app/diagnostics/run_trace.h
  plant app/diagnostics/run_trace.h app/session/options.h
  plant app/session/options.h
  plant app/terminal/main.cpp app/terminal/keys.h app/session/update_session.h
  plant app/terminal/keys.h
  plant app/desktop/uploader_window.h app/session/update_session.h
}

expect() {  # expect pass|fail WHAT
  if "$check" "$tree" >/dev/null; then result=pass; else result=fail; fi
  if [[ $result != "$1" ]]; then
    echo "the include check should $1 for $2, but did not"
    exit 1
  fi
}

fresh_tree
expect pass "a tree that keeps its layers"

# Each wrong include: the file, the header it includes, what that is.
while IFS='|' read -r file header what; do
  fresh_tree
  plant "$file" "$header"
  expect fail "$what"
done <<'CASES'
app/desktop/uploader_window.cpp|app/terminal/keys.h|the window including the terminal's keys
app/terminal/main.cpp|app/desktop/uploader_window.h|the terminal including the window
app/session/options.cpp|app/terminal/keys.h|the session including a front end
app/diagnostics/run_trace.cpp|app/win32/win32_view.h|the diagnostics including a front end
app/upload_worker.cpp|app/session/options.h|the core including the session
CASES

echo "the include check holds the layers apart"
