#!/usr/bin/env bash
# Starts the real editor on a virtual X server, waits for its main window, checks that it is
# 900 × 600 and not blank, and keeps a screenshot. Without a window manager there are no
# decorations, so the window's outer size is its client size plus the menu bar.
# Usage: xvfb_smoke.sh TESSERA SCREEN_PROBE OUT.png
set -euo pipefail
tessera=$1 probe=$2 out=$3

export QT_QPA_PLATFORM=xcb
# A display number of its own, so that X tests started at the same moment do not meet.
exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" bash -c '
  set -u
  "$0" & pid=$!
  trap "kill $pid 2>/dev/null" EXIT
  geometry=""
  for _ in $(seq 300); do  # up to 30 s: a loaded machine starts it slowly
    geometry=$(xwininfo -root -children 2>/dev/null | grep -o "[0-9]*x[0-9]*+[0-9]*+[0-9]*" | grep "^900x600+" | head -n 1 || true)
    [ -n "$geometry" ] && break
    sleep 0.1
  done
  if [ -z "$geometry" ]; then
    echo "no 900x600 main window appeared"; xwininfo -root -children; exit 1
  fi
  sleep 1  # let it paint
  echo "main window: $geometry"
  IFS="x+" read -r w h x y <<<"$geometry"
  report=$("$1" "$2" "$x" "$y" "$w" "$h")
  echo "$report"
  colors=$(sed -n "s/^colors //p" <<<"$report")
  [ "${colors:-0}" -ge 20 ] || { echo "the window looks blank"; exit 1; }
' "$tessera" "$probe" "$out"
