#!/usr/bin/env bash
# Drives the editing probe (the main window with a 25 × 25 map, red at (3, 3), blue at (15, 11)
# under the lower panel) with real X pointer events on a virtual X server, and checks the map
# after each gesture. The pressed canvas keeps the mouse, so a release anywhere reaches it; only a
# release over the canvas area the user sees may place or drop a tile. Every change is journalled;
# at the end the probe is killed with SIGKILL and a new one recovers the same map from the journal.
# Usage: xvfb_editing.sh EDITING_PROBE
set -euo pipefail
command -v xdotool >/dev/null || { echo "xdotool is missing (scripts/setup installs it)"; exit 1; }
export QT_QPA_PLATFORM=xcb
# A display number of its own, so that X tests started at the same moment do not meet.
exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  coproc PROBE { "$0"; }
  trap "kill $PROBE_PID 2>/dev/null || true" EXIT
  # The next line of the probe that starts with $1 (other lines are passed over).
  expect() {
    local line
    while IFS= read -r -t 30 line <&"${PROBE[0]}"; do
      [[ $line == "$1"* ]] && { REPLY=$line; return 0; }
    done
    echo "the probe did not say \"$1\""; exit 1
  }
  ask() { echo "$*" >&"${PROBE[1]}"; }
  do_() { ask "$@"; expect ok; }
  at() { ask at "$@"; expect "at "; POS=${REPLY#at }; }
  # Press at one place, move through the others, release at the last; wait until it is handled.
  gesture() {
    xdotool mousemove $1 $2 mousedown 1
    shift 2
    while [ $# -gt 0 ]; do xdotool mousemove $1 $2; shift 2; done
    xdotool mouseup 1
    expect "handled release"
  }
  failures=0
  check() {
    ask dump
    local got="" line
    while expect ""; [ "$REPLY" != end ]; do [[ $REPLY == handled* ]] || got+="$REPLY; "; done
    if [ "$got" = "$2" ]; then echo "ok: $1"; else echo "FAILED: $1"; echo "  want: $2"; echo "  got:  $got"; failures=$((failures + 1)); fi
  }

  expect ready
  journals=$(mktemp -d); trap "kill $PROBE_PID 2>/dev/null || true; rm -rf $journals" EXIT
  do_ journal "$journals"
  at cell 3 3; c33=$POS; at cell 4 4; c44=$POS; at cell 5 5; c55=$POS; at cell 6 6; c66=$POS
  at cell 7 7; c77=$POS; at notes; notes=$POS; at hscroll; hscroll=$POS; at right; right=$POS

  do_ arm move
  gesture $c33 $c44 $c66
  check "a drag moves a tile; the floating image stays over the target" \
    "cell 6 6 red.jpg; cell 15 11 blue.jpg; carrying 0; follow shown; "
  do_ arm place
  do_ choose green.jpg
  do_ yes
  gesture $c66 $c66
  check "one click on the floating image places the chosen tile and hides the image" \
    "cell 6 6 green.jpg; cell 15 11 blue.jpg; carrying 0; follow hidden; "

  do_ choose blue.jpg
  gesture $c77 $notes
  check "a placement released over the lower panel does nothing" \
    "cell 6 6 green.jpg; cell 15 11 blue.jpg; carrying 0; follow hidden; "
  gesture $c77 $c77
  check "the chosen tile goes where the user clicks next" \
    "cell 6 6 green.jpg; cell 7 7 blue.jpg; cell 15 11 blue.jpg; carrying 0; follow hidden; "

  do_ arm move
  gesture $c66 $c44 $notes
  check "a tile carried onto the usage notes stays carried" \
    "cell 7 7 blue.jpg; cell 15 11 blue.jpg; carrying 1; follow shown; "
  gesture $c44 $hscroll
  gesture $c44 $right
  check "so does one carried onto the scroll bar or right of the window" \
    "cell 7 7 blue.jpg; cell 15 11 blue.jpg; carrying 1; follow shown; "
  gesture $c55 $c55
  check "one click on the floating image over a cell drops the carried tile there" \
    "cell 5 5 green.jpg; cell 7 7 blue.jpg; cell 15 11 blue.jpg; carrying 0; follow hidden; "

  do_ arm swap
  gesture $c55 $c66 $c77
  check "a drag with the swap tool exchanges two tiles" \
    "cell 5 5 blue.jpg; cell 7 7 green.jpg; cell 15 11 blue.jpg; carrying 0; follow hidden; "
  gesture $c77 $c66 $notes
  gesture $c77 $c77
  gesture $c33 $c44
  check "a swap released over the lower panel or on its source, or started on an empty cell, changes nothing" \
    "cell 5 5 blue.jpg; cell 7 7 green.jpg; cell 15 11 blue.jpg; carrying 0; follow hidden; "
  gesture $c77 $c44
  check "a swap onto an empty cell moves the tile" \
    "cell 4 4 green.jpg; cell 5 5 blue.jpg; cell 15 11 blue.jpg; carrying 0; follow hidden; "
  do_ undo
  do_ undo
  check "each press of undo takes back one swap" \
    "cell 5 5 green.jpg; cell 7 7 blue.jpg; cell 15 11 blue.jpg; carrying 0; follow hidden; "

  # Keys go to the window once it has the focus.
  ask winid; expect "winid "; win=${REPLY#winid }
  key() { xdotool windowfocus --sync $win key "$1"; expect "handled key"; }
  do_ arm move
  gesture $c55 $c44 $c33
  check "the floating image stays over a dropped tile" \
    "cell 3 3 green.jpg; cell 7 7 blue.jpg; cell 15 11 blue.jpg; carrying 0; follow shown; "
  key ctrl+z
  check "Ctrl+Z takes the move back, and the floating image with it" \
    "cell 5 5 green.jpg; cell 7 7 blue.jpg; cell 15 11 blue.jpg; carrying 0; follow hidden; "
  key ctrl+y
  check "Ctrl+Y does the move again without the image" \
    "cell 3 3 green.jpg; cell 7 7 blue.jpg; cell 15 11 blue.jpg; carrying 0; follow hidden; "
  gesture $c33 $c44 $c55
  at refresh; xdotool mousemove $POS click 1; expect "handled release"
  check "刷新 takes away the image left over a dropped tile" \
    "cell 5 5 green.jpg; cell 7 7 blue.jpg; cell 15 11 blue.jpg; carrying 0; follow hidden; "

  xdotool mousemove $c33 click 5; expect "handled wheel"
  ask scroll; expect "scroll "; down=${REPLY#scroll }
  xdotool keydown shift click 5 keyup shift; expect "handled wheel"
  ask scroll; expect "scroll "; sideways=${REPLY#scroll }
  if [ "${down%% *}" = 1 ] && [ "${down#* }" -gt 1 ] && [ "${sideways%% *}" -gt 1 ]; then
    echo "ok: the wheel over the canvas scrolls it down, with Shift to the right"
  else
    echo "FAILED: the wheel over the canvas: after the wheel $down, after Shift+wheel $sideways"; failures=$((failures + 1))
  fi
  ask dump; before=""
  while expect ""; [ "$REPLY" != end ]; do [[ $REPLY == cell* ]] && before+="$REPLY; "; done
  sleep 1  # every change on disk within a second
  kill -KILL $PROBE_PID; wait $PROBE_PID 2>/dev/null || true
  coproc PROBE { "$0"; }
  expect ready
  ask recover "$journals"; expect "recovered "
  ask dump; after=""
  while expect ""; [ "$REPLY" != end ]; do [[ $REPLY == cell* ]] && after+="$REPLY; "; done
  if [ -n "$before" ] && [ "$after" = "$before" ]; then
    echo "ok: after SIGKILL a new editor recovers every cell from the journal"
  else
    echo "FAILED: recovery after SIGKILL"; echo "  want: $before"; echo "  got:  $after"; failures=$((failures + 1))
  fi
  ask winid; expect "winid "; win=${REPLY#winid }
  saves=$(mktemp -d)
  ask boxes; while expect ""; [ "$REPLY" != end ]; do :; done
  do_ answer "$saves/saved.tlp"
  key ctrl+s
  key ctrl+s
  ask boxes; expect ""; box=$REPLY; ask status; expect "status "
  if [ "$box" = end ] && [ "$REPLY" = "status 已保存：saved.tlp" ] && [ -s "$saves/saved.tlp" ]; then
    echo "ok: Ctrl+S saves without a box and says so in the status bar"
  else
    echo "FAILED: Ctrl+S: first box \"$box\", $REPLY"; failures=$((failures + 1))
  fi
  rm -rf "$saves"
  do_ arm delete
  ask boxes; expect "box "
  if [ "$REPLY" = "box 进入删除状态，撤销按钮已无法取消之前的操作！" ]; then
    echo "ok: arming Delete says what it ends"
  else
    echo "FAILED: the Delete notice: $REPLY"; failures=$((failures + 1))
  fi
  expect end

  ask quit
  exit $failures
' "$1"
