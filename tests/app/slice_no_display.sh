#!/usr/bin/env bash
# Runs the real `tessera slice` with no display at all: the slices, the reference and the map path
# file; bad usage exits with 2, a missing picture with 1; a run killed half-way leaves whole slices
# only, and the next run into that folder removes the partial files and replaces nothing.
# Usage: slice_no_display.sh TESSERA
set -euo pipefail
tessera=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
cd "$work"
ends_whole() { [ "$(tail -c 2 "$1" | od -An -tx1 | tr -d ' ')" = ffd9 ]; }

vips gaussnoise noise.v 1000 700 --sigma 40 --mean 128
vips jpegsave noise.v small.jpg --Q 90
line=$("${nodisplay[@]}" "$tessera" slice small.jpg -o out --map map.tlp)
[[ "$line" =~ ^已把\ 1000\ ×\ 700\ 像素的图片切分为\ 3\ 行\ ×\ 3\ 列、9\ 个切片，用时\ [0-9]+\.[0-9]\ 秒：.*/out$ ]] \
    || { echo "printed: $line"; exit 1; }
[ "$(ls out | wc -l)" -eq 10 ] && [ -f out/3-3.jpg ] && [ -f out/原大地图.jpg ] || { ls -a out; exit 1; }
[ "$(vipsheader -f width out/3-3.jpg)x$(vipsheader -f height out/3-3.jpg)" = 200x100 ] || exit 1
[ "$(grep -c $'\r$' map.tlp)" -eq 3 ] && grep -q -F "$work/out/2-3.jpg" map.tlp || { cat map.tlp; exit 1; }

status=0
"${nodisplay[@]}" "$tessera" slice small.jpg -o out2 --cell 7x7 2>/dev/null || status=$?
[ "$status" -eq 2 ] && [ ! -e out2 ] || { echo "bad usage exited with $status"; exit 1; }
status=0
"${nodisplay[@]}" "$tessera" slice none.jpg -o out2 2>/dev/null || status=$?
[ "$status" -eq 1 ] || { echo "a missing picture exited with $status"; exit 1; }

# Killed half-way: what is there under a slice's name is whole.
vips gaussnoise noise.v 8000 6000 --sigma 40 --mean 128
vips jpegsave noise.v big.jpg --Q 95
"${nodisplay[@]}" "$tessera" slice big.jpg -o killed --cell 100x100 >/dev/null 2>&1 &
pid=$!
for _ in $(seq 200); do
    [ "$(ls killed 2>/dev/null | wc -l)" -gt 20 ] && break
    sleep 0.05
done
kill -9 "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
written=$(ls killed | wc -l)
[ "$written" -gt 0 ] && [ "$written" -lt 4800 ] || { echo "killed after $written slices"; exit 1; }
for f in killed/*.jpg; do ends_whole "$f" || { echo "$f is not whole"; exit 1; }; done
before=$(md5sum killed/*.jpg)
status=0
"${nodisplay[@]}" "$tessera" slice big.jpg -o killed --cell 100x100 >/dev/null 2>&1 || status=$?
[ "$status" -eq 1 ] || { echo "a second run into the folder exited with $status"; exit 1; }
[ -z "$(ls -A killed | grep '^\.')" ] || { echo "partial files stayed:"; ls -A killed | grep '^\.'; exit 1; }
[ "$before" = "$(md5sum killed/*.jpg)" ] || { echo "a slice was replaced"; exit 1; }
"${nodisplay[@]}" "$tessera" --help | grep -q "tessera slice"
echo ok
