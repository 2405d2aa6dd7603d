#!/usr/bin/env bash
# Runs 功能 → 自动拼图… in the real editor on a virtual X server managed by openbox, with real X
# input, twice: on an empty map, then again after the main window was clicked to the front (the
# map now full, so the overwrite question comes too). After the closing box each time, the result
# window must be the active window and stacked above the main window. Then a double-click on a
# placement line of the results must bring the main window forward to that cell.
# Usage: xvfb_assemble_openbox.sh TESSERA SLICE_MAP_TOOL
set -euo pipefail
. "$(dirname "$0")/x_session.sh"

if [ "${1:-}" != --on-display ]; then
  tessera=$1 tool=$2
  make_work
  "$tool" "$work/set" 6 6
  run_on_display "$tessera" "$work"
fi

# On the virtual display.
set +e
tessera=$2 work=$3
# A state folder of its own: the program is killed at the end, and its journal must not greet
# the next run with a recovery question.
export XDG_DATA_HOME=$work/state
start_session

active_window() { xprop -root _NET_ACTIVE_WINDOW | sed -n 's/.*# //p'; }
# The managed windows bottom to top, in decimal.
stacking() {
  local id
  for id in $(xprop -root _NET_CLIENT_LIST_STACKING | sed -n 's/.*# //p' | tr -d ,); do
    echo $((id))
  done
}
# Whether the result window is the active window and stacked above the main window.
result_on_top() {
  [ $(($(active_window))) -eq "$result" ] || return 1
  local order
  order=$(stacking | grep -n -x -e "$main" -e "$result" | cut -d: -f2 | tr '\n' ' ')
  [ "$order" = "$main $result " ]
}
describe() {
  echo "active: $(xdotool getwindowname $(($(active_window))) 2>/dev/null);" \
    "stacking:$(for id in $(stacking); do printf ' "%s"' "$(xdotool getwindowname "$id" 2>/dev/null)"; done)"
}

hidden() { ! shown "$1"; }
failures=0
# One run of 自动拼图 to its closing box; the first one picks the reference, the next ones use it
# from 原大地图 and answer the overwrite question.
assemble_once() {
  local reference=""
  [ "$1" = overwrite ] || reference=$work/set/reference.jpg
  start_assembly "$reference" "$work/set/slices" || return 1
  local box
  box=$(window_named "^自动拼图$") || return 1
  xdotool windowactivate --sync "$box" key Return  # the rows and columns as proposed
  if [ "$1" = overwrite ]; then
    box=$(window_named "^信息：$") || return 1
    xdotool windowactivate --sync "$box" key Return
    until_ok hidden "$box" || return 1  # the closing box has the same title
  fi
  box=$(window_named "^信息：$") || return 1
  result=$(window_named "^结果$") || return 1
  xdotool windowactivate --sync "$box" key Return
  until_ok hidden "$box"
}
check_run() {
  if ! assemble_once "$2"; then
    echo "FAILED: $1: the flow did not reach its end (windows:$(visible_titles))"
    failures=$((failures + 1))
  elif until_ok result_on_top; then
    echo "ok: $1: the result window is active, above the main window"
  else
    echo "FAILED: $1: $(describe)"
    failures=$((failures + 1))
  fi
}

"$tessera" >"$work/log" 2>&1 &
app=$!
new_map 6 || { echo "no new map (windows:$(visible_titles))"; exit 1; }
check_run "first run" none
# The main window to the front, over the result window, then again.
click_main 450 300
until_ok test $(($(active_window))) -eq "$main" || echo "note: the main window did not come to the front"
check_run "second run, the main window in front" overwrite
# A double-click on a placement line of the results (one of the first block's) leads the main
# window to its cell.
main_active() { [ $(($(active_window))) -eq "$main" ]; }
xdotool windowactivate --sync "$result" mousemove --window "$result" 200 90 click --repeat 2 --delay 60 1
if until_ok main_active; then
  echo "ok: a double-click on a result line brought the main window to its cell"
else
  echo "FAILED: a double-click on a result line: $(describe)"
  failures=$((failures + 1))
fi
[ $failures -eq 0 ]
