#!/usr/bin/env bash
# Starts the real editor on a virtual X server managed by openbox and ends it through 文件 → 退出 →
# 是, with real X input, at several moments of long work: while the preview loads its tiles, while
# a full redraw (刷新) loads them, while 导出地图图片… writes the picture and while 自动拼图… reads
# or matches the slices. Every time the program must end by itself with status 0 (no signal, no
# abort, no sanitizer report), remove its own temporary files, and leave the map picture whole or
# absent with nothing beside it.
#
# The tiles are the 100 slices of a generated 10 × 10 set, hard-linked under 62 500 paths: distinct
# files to the program (its tile cache is keyed by path), more than that cache holds, so every
# redraw decodes them all again and the work is still running when the exit is asked for.
# Usage: xvfb_exit_during_work.sh TESSERA SLICE_MAP_TOOL
set -euo pipefail
. "$(dirname "$0")/x_session.sh"

if [ "${1:-}" != --on-display ]; then
  tessera=$1 tool=$2
  make_work

  "$tool" "$work/set" 10 10
  # tiles/A/B/N.jpg: 25 × 25 folders of the slices named 0.jpg … 99.jpg.
  mkdir -p "$work/tiles/0/0"
  i=0
  for slice in "$work"/set/slices/*.jpg; do
    ln "$slice" "$work/tiles/0/0/$i.jpg"
    i=$((i + 1))
  done
  for b in $(seq 1 24); do cp -al "$work/tiles/0/0" "$work/tiles/0/$b"; done
  for a in $(seq 1 24); do cp -al "$work/tiles/0" "$work/tiles/$a"; done
  # A 250 × 250 map path file naming every path once, CR LF after each line.
  awk -v dir="$work/tiles" 'BEGIN {
    for (r = 0; r < 250; r++) {
      line = ""
      for (c = 0; c < 250; c++) {
        i = r * 250 + c
        line = line sprintf("%s/%d/%d/%d.jpg|", dir, int(i / 2500), int(i / 100) % 25, i % 100)
      }
      printf "%s\r\n", line
    }
  }' >"$work/map.tlp"
  # Slice folders for 自动拼图, flat: 10 000 slices (A_B_N.jpg) and all 62 500.
  mkdir "$work/slices10k" "$work/slices62k"
  tar -C "$work/tiles" -cf - 0 1 2 3 | tar -C "$work/slices10k" -xf - --wildcards '*.jpg' --transform 's,/,_,g'
  tar -C "$work/tiles" -cf - $(seq 0 24) | tar -C "$work/slices62k" -xf - --wildcards '*.jpg' --transform 's,/,_,g'

  run_on_display "$tessera" "$work"
fi

# On the virtual display.
set +e
tessera=$2 work=$3
start_session

# The scenarios: each brings the program to its moment, then waits the delay given.
preview_loading() {
  new_map && import_map || return 1
  click_main "${refresh_button[@]}"
  click_main "${preview_button[@]}"
  window_named "^预览$" >/dev/null || return 1
  sleep "$1"
}
redraw_loading() {
  new_map && import_map || return 1
  click_main "${refresh_button[@]}"
  sleep "$1"
}
picture_writing() {
  new_map && import_map || return 1
  menu_keys $function_menu_x Up Up Up Return || return 1
  local box
  box=$(window_named "^另存为$") || return 1
  answer_file_dialog "$box" "$picture_folder/map.png" || return 1
  box=$(window_named "^导出地图图片$") || return 1
  xdotool windowactivate --sync "$box" key Return  # the cell size in use
  until_ok window_gone "^导出地图图片$" || return 1
  sleep "$1"
}
slices_reading() {
  new_map && start_assembly "$work/set/reference.jpg" "$work/slices62k" || return 1
  sleep "$1"
}
slices_matching() {
  new_map && start_assembly "$work/set/reference.jpg" "$work/slices10k" || return 1
  # The rows and columns as proposed, in one box; the matching starts after it.
  local grid
  grid=$(window_named "^自动拼图$") || return 1
  xdotool windowactivate --sync "$grid" key Return
  until_ok window_gone "^自动拼图$" || return 1
  sleep "$1"
}

failures=0
runs=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# Runs one scenario: $1 describes it, $2 is its function, $3 the delay before the exit.
exit_during() {
  local what="$1 ${3} s" scenario=$2 delay=$3
  runs=$((runs + 1))
  local tmp=$work/tmp.$runs log=$work/log.$runs
  picture_folder=$work/picture.$runs
  mkdir "$tmp" "$picture_folder"
  TMPDIR=$tmp "$tessera" >"$log" 2>&1 &
  app=$!
  if ! $scenario "$delay"; then
    if kill -0 "$app" 2>/dev/null; then
      fail "$what: the program did not get there (windows:$(visible_titles))"
      kill "$app"
      wait "$app" 2>/dev/null
    else
      local status=0
      wait "$app" || status=$?
      fail "$what: the program ended before it got there, status $status"
      head -n 80 "$log"
    fi
    app=""
    return
  fi
  local asked=1
  if menu_keys $file_menu_x Up Return; then
    local box
    if box=$(window_named "^信息：$"); then
      xdotool windowactivate --sync "$box" key Return
      asked=0
    fi
  fi
  # The program ends by itself; a sanitizer build takes a while to tear down.
  for _ in $(seq 900); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$app" 2>/dev/null; then
    if [ $asked = 0 ]; then
      fail "$what: still running after 是 (windows:$(visible_titles))"
    else
      fail "$what: the exit question could not be asked (windows:$(visible_titles))"
    fi
    kill "$app"; wait "$app" 2>/dev/null; app=""
    return
  fi
  local status=0
  wait "$app" || status=$?
  app=""
  if [ $status -ne 0 ]; then
    fail "$what: exit status $status$([ $status -gt 128 ] && echo " (signal $((status - 128)))")"
    head -n 80 "$log"
    return
  fi
  local left
  left=$(ls -A "$tmp")
  [ -z "$left" ] || { fail "$what: left in its temporary folder: $left"; return; }
  left=$(ls -A "$picture_folder" | grep -v -x map.png)
  [ -z "$left" ] || { fail "$what: left beside the picture: $left"; return; }
  if [ -e "$picture_folder/map.png" ]; then
    # A PNG file ends with its IEND chunk.
    [ "$(tail -c 8 "$picture_folder/map.png" | od -An -tx1 | tr -d ' \n')" = 49454e44ae426082 ] \
      || { fail "$what: the picture is cut short"; return; }
  fi
  echo "ok: $what: exit status 0"
}

exit_during "preview loading, exit after" preview_loading 0.3
exit_during "preview loading, exit after" preview_loading 1.3
exit_during "preview loading, exit after" preview_loading 2.3
exit_during "full redraw loading, exit after" redraw_loading 0.2
exit_during "full redraw loading, exit after" redraw_loading 1.2
exit_during "map picture writing, exit after" picture_writing 0.3
exit_during "map picture writing, exit after" picture_writing 1.5
exit_during "slices reading, exit after" slices_reading 0.3
exit_during "slices matching, exit after" slices_matching 0.2
exit_during "slices matching, exit after" slices_matching 1.0
echo "$runs exits, $failures failed"
[ $failures -eq 0 ]
