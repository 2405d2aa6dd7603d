#!/usr/bin/env bash
# The real editor beside tile reads that never return (hung_fs.py, a frozen mount): on a 20 × 20 map
# naming also a hung file (3 cells), a FIFO, a 40 GB sparse file, PNG bombs and cut JPEGs, import and
# 刷新 draw every ordinary tile and end the progress; 退出 → 是 ends with status 0 and no journal, in
# 刷新 and 预览 too; after the chooser's hung file the next choice shows. 77: no FUSE mount here.
# Usage: xvfb_hung_reads.sh TESSERA SLICE_MAP_TOOL SCREEN_PROBE
set -euo pipefail
. "$(dirname "$0")/x_session.sh"

if [ "${1:-}" != --on-display ]; then
  tessera=$1 probe=$3
  make_work
  mnt="" fs=""  # the file system goes first, which ends every read still waiting for it
  trap 'set +e; [ -n "$fs" ] && { kill -9 $fs; wait $fs; } 2>/dev/null; [ -n "$mnt" ] && fusermount -uz "$mnt"; rmdir "$mnt"; rm -rf "$work"' EXIT
  "$2" "$work/set" 10 10 >/dev/null
  slices=("$work"/set/slices/*.jpg)
  # Under /mnt, a volume to the chooser. A hung file per run: one left reading blocks the next open.
  if [ -e /dev/fuse ] && mnt=$(mktemp -d /mnt/tessera-hung.XXXXXX); then
    /usr/bin/python3 "$(dirname "$0")/hung_fs.py" "$mnt" a-hung.jpg "good.jpg=${slices[0]}" hung{1,2,3}.jpg >"$work/fs.log" 2>&1 &
    fs=$!
    until_ok grep -q " $mnt fuse" /proc/mounts || true
  fi
  grep -q " ${mnt:-none} fuse" /proc/mounts || { echo "SKIP: no FUSE mount"; cat "$work/fs.log"; exit 77; }
  mkfifo "$work/fifo.jpg" && truncate -s 40G "$work/sparse.jpg"
  head -c 5000 "${slices[1]}" >"$work/cut.jpg"
  # 64 million grey pixels in about 64 KB.
  /usr/bin/python3 -c 'import struct, sys, zlib
c = lambda k, d: struct.pack(">I", len(d)) + k + d + struct.pack(">I", zlib.crc32(k + d))
open(sys.argv[1], "wb").write(b"\x89PNG\r\n\x1a\n" + c(b"IHDR", struct.pack(">IIBBBBB", 8000, 8000, 8, 0, 0, 0, 0))
    + c(b"IDAT", zlib.compress(bytes(8001 * 8000), 9)) + c(b"IEND", b""))' "$work/bomb.jpg"
  cp "$work/bomb.jpg" "$work/bomb2.jpg"
  declare -A odd=([1,3]=HUNG [2,5]=HUNG [4,4]=HUNG [1,5]="$work/fifo.jpg" [2,2]="$work/sparse.jpg"
                  [3,1]="$work/bomb.jpg" [3,6]="$work/bomb2.jpg" [2,1]="$work/cut.jpg" [5,5]="$work/cut.jpg")
  for r in $(seq 20); do
    for c in $(seq 20); do printf '%s|' "${odd[$r,$c]:-${slices[$(( (r * 20 + c) % 100 ))]}}"; done
    printf '\r\n'
  done >"$work/map.tlp"
  for run in 1 2 3; do sed "s|HUNG|$mnt/hung$run.jpg|g" "$work/map.tlp" >"$work/map$run.tlp"; done
  run_on_display "$tessera" "$probe" "$work" "$mnt"
fi
set +e
tessera=$2 probe=$3 work=$4 mnt=$5
start_session
failures=0 runs=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
within_10s() { for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }

# The number of colours in a rectangle X Y W H of the main window: 1 or 2 where nothing is drawn.
colours_at() {
  local x y
  read -r x y < <(xwininfo -id "$main" | sed -n 's/.*Absolute upper-left [XY]: *//p' | tr '\n' ' ')
  "$probe" "$work/shot.png" $((x + $1)) $((y + $2)) "$3" "$4" | sed -n 's/^colors //p'
}
cell_colours() { colours_at $((24 + ($2 - 1) * 40)) $((74 + ($1 - 1) * 30)) 32 22; }
drawn() { local cell; for cell in 1,1 1,2 1,4 2,3 4,1; do [ "$(cell_colours ${cell/,/ })" -gt 4 ] || return 1; done; }
bar_idle() { [ "$(colours_at 4 584 140 12)" = "$idle_bar" ]; }

launch() {
  runs=$((runs + 1))
  export XDG_DATA_HOME=$work/data.$runs
  "$tessera" >"$work/log.$runs" 2>&1 &
  app=$!
  new_map 20 || fail "run $runs: no new map"
}
# 文件 → 退出 → 是 ends the program with status 0, its journal removed; else it is killed, not waited for.
exit_ends() {
  local box status=0
  if ! menu_keys $file_menu_x Up Return || ! box=$(window_named "^信息：$"); then
    fail "$1: the exit question could not be asked"; kill -9 $app; disown $app; return
  fi
  xdotool windowactivate --sync "$box" key Return
  local asked=$(date +%s%N)
  within_10s eval '! kill -0 $app' || { fail "$1: still running 10 s after 是"; kill -9 $app; disown $app; return; }
  local ms=$(( ($(date +%s%N) - asked) / 1000000 ))
  wait "$app" || status=$?
  [ $status -eq 0 ] || { fail "$1: exit status $status"; head -n 40 "$work/log.$runs"; return; }
  [ -z "$(find "$XDG_DATA_HOME" -name '*.journal')" ] || { fail "$1: journal left"; return; }
  echo "ok: $1: exit status 0 after ${ms} ms"
}

launch
idle_bar=$(colours_at 4 584 140 12)
if import_map "$work/map1.tlp"; then
  within_10s drawn || fail "after the import: ordinary tiles not drawn"
  within_10s bar_idle || fail "after the import: the progress bar did not end"
  click_main "${refresh_button[@]}"
  within_10s drawn || fail "after 刷新: ordinary tiles not drawn"
  within_10s bar_idle || fail "after 刷新: the progress bar did not end"
  for cell in 1,3 1,5 2,2 4,4; do [ "$(cell_colours ${cell/,/ })" -le 2 ] || fail "cell $cell shows something"; done
else
  fail "the map could not be imported"
fi
exit_ends "after the import, a read hung"

for button in refresh preview; do
  launch
  import_map "$work/map$runs.tlp" || fail "no map for the $button button"
  eval click_main "\${${button}_button[@]}"
  [ $button = refresh ] || { window_named "^预览$" >/dev/null && sleep 1.5; }  # its tiles load a second after it opens
  exit_ends "during the $button button's work"
done

launch
click_main 109 461  # the 选择文件 tab
click_main 90 480   # the volume list, where the mount is found by its name
sleep 0.5
xdotool type "$mnt"
xdotool key Return
preview_box() { colours_at 552 476 150 94; }
within_10s eval '[ "$(preview_box)" -le 2 ]'
click_main 300 477  # a-hung.jpg, the first file
sleep 0.5
click_main 300 492  # good.jpg, the second
within_10s eval '[ "$(preview_box)" -gt 4 ]' || fail "the chooser did not show the next choice after the hung one"
exit_ends "after choosing the hung file"

echo "$runs runs, $failures failed"
[ $failures -eq 0 ]
