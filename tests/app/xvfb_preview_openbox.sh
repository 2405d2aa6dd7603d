#!/usr/bin/env bash
# Starts the real editor on a virtual X server managed by openbox, makes a map of each size given,
# opens its preview and checks that the preview's frame, title bar included, starts at the
# top-left corner of the screen's free area and stays within it.
# Usage: xvfb_preview_openbox.sh TESSERA SIZE...
set -euo pipefail
. "$(dirname "$0")/x_session.sh"

if [ "${1:-}" != --on-display ]; then
  make_work
  run_on_display "$work" "$@"
fi

# On the virtual display.
set -u
work=$2 tessera=$3
shift 3
# Openbox is ready once it has set the free area too.
wm_ready() { xprop -root _NET_SUPPORTED | grep -q _NET_ACTIVE_WINDOW && xprop -root _NET_WORKAREA | grep -q =; }
start_session
failed=0
for n in "$@"; do
  "$tessera" & app=$!
  new_map "$n" || { echo "no new map of size $n"; exit 1; }
  click_main "${preview_button[@]}"
  preview=$(window_named "^预览$") || exit 1

  want_w=$(( n * 40 + 12 )) want_h=$(( n * 30 + 12 ))
  check() {
    area=$(xprop -root _NET_WORKAREA | sed -n "s/.*= //p" | tr -d ,)
    [ -n "$area" ] || return 1
    read -r ax ay aw ah _ <<<"$area"
    extents=$(xprop -id "$preview" _NET_FRAME_EXTENTS | sed -n "s/.*= //p" | tr -d ,)
    [ -n "$extents" ] || return 1
    read -r l r t b <<<"$extents"
    info=$(xwininfo -id "$preview")
    x=$(sed -n "s/.*Absolute upper-left X: *//p" <<<"$info")
    y=$(sed -n "s/.*Absolute upper-left Y: *//p" <<<"$info")
    w=$(sed -n "s/.*Width: *//p" <<<"$info")
    h=$(sed -n "s/.*Height: *//p" <<<"$info")
    fx=$(( x - l )) fy=$(( y - t )) fw=$(( w + l + r )) fh=$(( h + t + b ))
    cw=$(( want_w < aw - l - r ? want_w : aw - l - r ))
    ch=$(( want_h < ah - t - b ? want_h : ah - t - b ))
    [ "$fx" -eq "$ax" ] && [ "$fy" -eq "$ay" ] && [ "$w" -eq "$cw" ] && [ "$h" -eq "$ch" ]
  }
  if until_ok check; then
    echo "size $n: frame ${fw}x${fh}+${fx}+${fy}, client ${w}x${h} (free area ${aw}x${ah}+${ax}+${ay})"
  else
    check || true
    echo "size $n: frame ${fw:-?}x${fh:-?}+${fx:-?}+${fy:-?}, client ${w:-?}x${h:-?};" \
         "expected the frame at +${ax}+${ay} around a client of ${cw:-?}x${ch:-?}"
    failed=1
  fi
  kill "$app"; wait "$app" 2>/dev/null || true
done
exit $failed
