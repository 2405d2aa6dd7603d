#!/usr/bin/env bash
# Runs the real `tessera assemble` with no display at all: a generated 3 × 4 set of slices becomes a
# map path file naming every slice once, with absolute paths; bad usage exits with 2, a folder
# without slices with 1, and neither leaves a file.
# Usage: assemble_no_display.sh TESSERA SLICE_MAP_TOOL
set -euo pipefail
tessera=$1 tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)

"$tool" "$work/set" 3 4
mkdir "$work/empty"
cd "$work"  # relative arguments; the file still holds absolute paths

line=$("${nodisplay[@]}" "$tessera" assemble --reference set/reference.jpg --slices set/slices -o map.tlp)
[[ "$line" =~ ^已拼合\ 12\ 个单元格，存疑\ 0\ 个，用时\ [0-9]+\.[0-9]\ 秒：map\.tlp$ ]] || { echo "printed: $line"; exit 1; }
# Four lines (the map is 4 × 4), CR LF after each.
[ "$(grep -c $'\r$' map.tlp)" -eq 4 ] || { echo "not 4 lines:"; cat map.tlp; exit 1; }
for slice in "$work"/set/slices/*.jpg; do
    [ "$(grep -o -F "$slice" map.tlp | wc -l)" -eq 1 ] || { echo "$slice not named once"; exit 1; }
done

# The report: a header, one line per cell naming its slice, the doubtful cells also on stderr; a
# write-protected report is not replaced.
"${nodisplay[@]}" "$tessera" assemble --reference set/reference.jpg --slices set/slices -o map.tlp \
    --report report.csv 2>doubts.txt >/dev/null
[ "$(head -c 3 report.csv | od -An -tx1 | tr -d ' ')" = efbbbf ] || { echo "no byte-order mark"; exit 1; }
[ "$(sed -n 1p report.csv | tail -c +4 | tr -d '\r')" = "行,列,文件,置信度,存疑原因" ] || { echo "header:"; head -1 report.csv; exit 1; }
[ "$(grep -c $'\r$' report.csv)" -eq 13 ] || { echo "not 13 lines:"; cat report.csv; exit 1; }
for slice in "$work"/set/slices/*.jpg; do
    grep -q -E "^[1-3],[1-4],$slice,[0-9]+%," report.csv || { echo "$slice not reported"; cat report.csv; exit 1; }
done
[ "$(grep -c -E '^[0-9]+,[0-9]+,.*,[0-9]+%,.+'$'\r''$' report.csv)" -eq "$(grep -c '^存疑' doubts.txt)" ] || { echo "doubts differ"; exit 1; }
echo old > ro.csv
chmod 444 ro.csv
status=0
"${nodisplay[@]}" "$tessera" assemble --reference set/reference.jpg --slices set/slices -o map.tlp --report ro.csv \
    >/dev/null 2>&1 || status=$?
[ "$status" -eq 1 ] && [ "$(cat ro.csv)" = old ] || { echo "a write-protected report: $status"; exit 1; }
rm -f report.csv doubts.txt ro.csv

status=0
"${nodisplay[@]}" "$tessera" assemble --reference set/reference.jpg --slices set/slices --rows 3 -o bad.tlp \
    2>/dev/null || status=$?
[ "$status" -eq 2 ] || { echo "bad usage exited with $status"; exit 1; }
status=0
"${nodisplay[@]}" "$tessera" assemble --reference set/reference.jpg --slices empty -o none.tlp 2>/dev/null || status=$?
[ "$status" -eq 1 ] || { echo "a folder without slices exited with $status"; exit 1; }
"${nodisplay[@]}" "$tessera" --help | grep -q "tessera assemble"
leftover=$(ls -A "$work" | grep -v -x -e set -e empty -e map.tlp || true)
[ -z "$leftover" ] || { echo "left behind: $leftover"; exit 1; }
echo "assembled without a display: $line"
