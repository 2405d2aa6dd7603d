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

if [ "${1:-}" != --on-display ]; then
  tessera=$1 tool=$2
  command -v xdotool >/dev/null || { echo "xdotool is missing (scripts/setup installs it)"; exit 1; }
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT

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

  export QT_QPA_PLATFORM=xcb
  # A display number of its own, away from other tests that start at the same time.
  status=0
  xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" "$0" --on-display "$tessera" "$work" || status=$?
  exit $status
fi

# On the virtual display.
set +e
tessera=$2 work=$3
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Waits up to thirty seconds for a command to succeed.
until_ok() { for _ in $(seq 300); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }
# Waits for a visible window whose title matches and prints its id.
window_named() {
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window $1" >&2
  return 1
}
window_gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
visible_titles() {
  local id
  for id in $(xdotool search --onlyvisible --classname '^tessera$' 2>/dev/null); do
    printf ' "%s"' "$(xdotool getwindowname "$id" 2>/dev/null)"
  done
}

wm_ready() { xprop -root _NET_SUPPORTED | grep -q _NET_ACTIVE_WINDOW; }
start_wm() {
  openbox >/dev/null 2>&1 &
  wm=$!
  for _ in $(seq 300); do
    wm_ready >/dev/null 2>&1 && return 0
    kill -0 "$wm" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
app=""
trap 'kill $wm $app 2>/dev/null' EXIT
start_wm || start_wm || { echo "openbox did not start"; exit 1; }

# Places in the main window's client area (menu bar included).
file_menu_x=21 function_menu_x=97
refresh_button=(728 35) preview_button=(753 35) new_map_button=(442 245)

# Opens a menu of the main window with a click on its title, then types keys into it.
menu_keys() {
  local x=$1 before
  shift
  before=$(xdotool search --onlyvisible --classname '^tessera$' 2>/dev/null)
  xdotool windowactivate --sync "$main" mousemove --window "$main" "$x" 8 click 1
  # The menu is a new window of the program.
  new_popup() { xdotool search --onlyvisible --classname '^tessera$' | grep -q -v -x -F "$before"; }
  until_ok new_popup || { echo "the menu did not open" >&2; return 1; }
  xdotool key "$@"
}
shown() { xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
# Types a path into the file dialog $1 and accepts it; types it again while the dialog stays (a
# busy program may miss keys typed the moment its dialog shows).
answer_file_dialog() {
  local box=$1 path=$2
  for _ in 1 2 3; do
    xdotool windowactivate --sync "$box" key ctrl+a type "$path"
    xdotool key Return
    for _ in $(seq 50); do
      shown "$box" || return 0
      sleep 0.1
    done
  done
  echo "the file dialog stays" >&2
  return 1
}
click_main() { xdotool windowactivate --sync "$main" mousemove --window "$main" "$1" "$2" click 1; }

new_map() {
  main=$(window_named "^青石") || return 1
  click_main "${new_map_button[@]}"
  local box
  box=$(window_named "^信息：$") || return 1
  xdotool windowactivate --sync "$box" key Return
  box=$(window_named "^请输入地图大小") || return 1
  xdotool windowactivate --sync "$box" key ctrl+a type 1000
  xdotool key Return
  until_ok window_gone "^请输入地图大小"
}

# 文件 → 导入数据, the map path file, and the message after it read.
import_map() {
  menu_keys $file_menu_x Down Down Return || return 1
  local box
  box=$(window_named "^打开$") || return 1
  answer_file_dialog "$box" "$work/map.tlp" || return 1
  box=$(window_named "^信息：$") || return 1
  xdotool windowactivate --sync "$box" key Return
  until_ok window_gone "^信息：$"
}

# 功能 → 自动拼图…: the reference, then the slice folder $1; the slices are read in the background.
start_assembly() {
  menu_keys $function_menu_x Up Up Return || return 1
  local box
  box=$(window_named "^打开$") || return 1
  answer_file_dialog "$box" "$work/set/reference.jpg" || return 1
  box=$(window_named "^选择切片所在的文件夹$") || return 1
  answer_file_dialog "$box" "$1"
}

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
  new_map && start_assembly "$work/slices62k" || return 1
  sleep "$1"
}
slices_matching() {
  new_map && start_assembly "$work/slices10k" || return 1
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
