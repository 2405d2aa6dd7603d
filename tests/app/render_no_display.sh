#!/usr/bin/env bash
# Runs the real `tessera render` with no display at all (no DISPLAY, no X server, no
# QT_QPA_PLATFORM): a 2 × 2 map of two tiles, an empty cell and a missing file becomes an
# 80 × 60 PNG; bad usage exits with 2, an unwritable output with 1, and neither leaves a file.
# Usage: render_no_display.sh TESSERA JPEG_TILE PNG_TILE
set -euo pipefail
tessera=$1 jpeg=$2 png=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)

# "空" in GBK is BF D5; every line ends in CR LF.
printf '%s|\xbf\xd5\r\n%s|%s\r\n' "$jpeg" "$work/missing.jpg" "$png" >"$work/map.tlp"

"${nodisplay[@]}" "$tessera" render "$work/map.tlp" -o "$work/map.png"
# PNG signature, then IHDR: width 80, height 60, 8 bits, RGBA.
header=$(od -An -tx1 -N26 "$work/map.png" | tr -d ' \n')
[ "${header:0:32}" = "89504e470d0a1a0a0000000d49484452" ] || { echo "not a PNG: $header"; exit 1; }
[ "${header:32:16}" = "000000500000003c" ] || { echo "not 80 x 60: $header"; exit 1; }
[ "${header:48:4}" = "0806" ] || { echo "not 8-bit RGBA: $header"; exit 1; }

status=0
"${nodisplay[@]}" "$tessera" render "$work/map.tlp" --cell 40 -o "$work/bad.png" 2>/dev/null || status=$?
[ "$status" -eq 2 ] || { echo "bad usage exited with $status"; exit 1; }
status=0
"${nodisplay[@]}" "$tessera" render "$work/map.tlp" -o "$work/map.tlp/out.png" 2>/dev/null || status=$?
[ "$status" -eq 1 ] || { echo "unwritable output exited with $status"; exit 1; }
"${nodisplay[@]}" "$tessera" --help | grep -q "tessera render"
leftover=$(ls -A "$work" | grep -v -x -e map.tlp -e map.png || true)
[ -z "$leftover" ] || { echo "left behind: $leftover"; exit 1; }
echo "rendered without a display: $header"
