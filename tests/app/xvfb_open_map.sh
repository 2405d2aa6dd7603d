#!/usr/bin/env bash
# The real editor under openbox, driven only by its shortcuts with real X keys: Ctrl+O opens a map
# path file without New map (sized from the file: three lines, the widest of four fields, a 4 × 4
# map), Ctrl+Shift+S exports it again, and Ctrl+Q asks the exit question and ends with status 0.
# Usage: xvfb_open_map.sh TESSERA
set -euo pipefail
. "$(dirname "$0")/x_session.sh"

if [ "${1:-}" != --on-display ]; then
  make_work
  printf 'a.jpg|b.jpg\r\n|||d.jpg\r\nc.jpg\r\n' >"$work/three.tlp"
  run_on_display "$1" "$work"
fi

# On the virtual display.
tessera=$2 work=$3
start_session
export XDG_DATA_HOME=$work/state XDG_CONFIG_HOME=$work/config
"$tessera" & app=$!
main=$(window_named "^青石") || exit 1
fail() { echo "$1"; exit 1; }

xdotool windowactivate --sync "$main" key ctrl+o
box=$(window_named "^打开$") || fail "Ctrl+O showed no file dialog"
answer_file_dialog "$box" "$work/three.tlp" || exit 1
# Opened as the map's path file: the title carries no unsaved mark.
until_ok bash -c "xdotool getwindowname $main | grep -qv '\*'" || fail "the title marks the opened map changed"

xdotool windowactivate --sync "$main" key ctrl+shift+s
box=$(window_named "^另存为$") || fail "Ctrl+Shift+S showed no save dialog"
answer_file_dialog "$box" "$work/again.tlp" || exit 1
box=$(window_named "^信息：$") || fail "no message after the export"
xdotool windowactivate --sync "$box" key Return
until_ok test -s "$work/again.tlp" || fail "nothing exported"
fields=$(awk -F'|' 'END { print NR } { printf "%d:%s:%s ", NF, $2, $4 > "/dev/stderr" }' "$work/again.tlp" 2>"$work/shape")
shape=$(cat "$work/shape")
[ "$fields" = 4 ] || fail "the exported map has $fields lines, not 4 ($shape)"
case "$shape" in *":b.jpg:"*":d.jpg"*) ;; *) fail "the exported map is not the opened one: $shape" ;; esac

xdotool windowactivate --sync "$main" key ctrl+q
box=$(window_named "^信息：$") || fail "Ctrl+Q asked nothing"
xdotool windowactivate --sync "$box" key Return
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "still running after Ctrl+Q and 是"
wait "$app"; status=$?
app=""
[ "$status" = 0 ] || fail "the editor ended with status $status"
echo "Ctrl+O opened a 4 × 4 map, Ctrl+Shift+S exported it, Ctrl+Q ended the editor"
