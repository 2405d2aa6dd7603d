#!/usr/bin/env bash
# Starts the real editor on a virtual X server managed by openbox, makes a map of each size given,
# opens its preview and checks that the preview's frame, title bar included, starts at the
# top-left corner of the screen's free area and stays within it.
# Usage: xvfb_preview_openbox.sh TESSERA SIZE...
set -euo pipefail
tessera=$1
shift

export QT_QPA_PLATFORM=xcb
# A display number of its own, away from other tests that start at 99 at the same time.
exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" bash -c '
  set -u
  tessera=$0
  # Waits up to thirty seconds for a command to succeed.
  until_ok() { for _ in $(seq 300); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }
  # Waits for a visible window whose title matches and prints its id.
  window_named() {
    for _ in $(seq 300); do
      id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
      [ -n "$id" ] && { echo "$id"; return 0; }
      sleep 0.1
    done
    echo "no window $1" >&2; return 1
  }
  window_gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

  wm_ready() { xprop -root _NET_SUPPORTED | grep -q _NET_ACTIVE_WINDOW && xprop -root _NET_WORKAREA | grep -q =; }
  # Starts openbox and waits until it manages the screen; fails as soon as it exits.
  start_wm() {
    openbox >/dev/null 2>&1 & wm=$!
    for _ in $(seq 300); do
      wm_ready >/dev/null 2>&1 && return 0
      kill -0 "$wm" 2>/dev/null || return 1
      sleep 0.1
    done
    return 1
  }
  app=""
  trap "kill \$wm \$app 2>/dev/null" EXIT
  start_wm || start_wm || { echo "openbox did not start"; exit 1; }

  failed=0
  for n in "$@"; do
    "$tessera" & app=$!
    main=$(window_named "^青石") || exit 1
    # New map: the button in the middle of the empty canvas, Yes to the question, the size.
    xdotool mousemove --window "$main" 442 245 click 1
    question=$(window_named "^信息：$") || exit 1
    xdotool windowactivate --sync "$question" key Return
    box=$(window_named "^请输入地图大小") || exit 1
    xdotool windowactivate --sync "$box" key ctrl+a type "$n"
    xdotool key Return
    until_ok window_gone "^请输入地图大小" || { echo "the size box stays"; exit 1; }
    # The preview button, right of the tool bar.
    xdotool mousemove --window "$main" 754 40 click 1
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
' "$tessera" "$@"
