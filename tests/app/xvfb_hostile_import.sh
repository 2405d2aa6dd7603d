#!/usr/bin/env bash
# The real editor imports through 文件 → 导入数据 a Tiled JSON map saved as ".json" as a map (the
# title marks it changed), and a TMX of 40,000 nested groups and one of 100,000 references to an
# entity of 4,000 blanks each to a message, the editor alive and within 256 MB.
# Usage: xvfb_hostile_import.sh TESSERA
set -euo pipefail
. "$(dirname "$0")/x_session.sh"

if [ "${1:-}" != --on-display ]; then
  make_work
  tile='<tileset firstgid="1"><tile id="0"><image source="t.jpg"/></tile></tileset>'
  map() {  # DOCTYPE, before the layer, its data, after it
    printf '%s<map orientation="orthogonal" width="1" height="1">%s%s' "$1" "$tile" "$2"
    printf '<layer name="l" width="1" height="1"><data encoding="csv">%s</data></layer>%s</map>' "$3" "$4"
  }
  map "" "$(printf '<group>%.0s' $(seq 40000))" 1 "$(printf '</group>%.0s' $(seq 40000))" >"$work/nested.tmx"
  map "<!DOCTYPE map [<!ENTITY e \"$(printf '%4000s' '')\">]>" "" "$(printf '&e;%.0s' $(seq 100000))" "" >"$work/entities.tmx"
  printf '{"height":2,"layers":[{"data":[1,1,1,1],"height":2,"name":"%s","type":"tilelayer","width":2}],' "$(printf 'x%.0s' $(seq 6000))" >"$work/tiled.json"
  printf '"orientation":"orthogonal","tilesets":[{"firstgid":1,"tiles":[{"id":0,"image":"t.jpg"}]}],"type":"map","width":2}' >>"$work/tiled.json"
  run_on_display "$1" "$work"
fi

# On the virtual display.
tessera=$2 work=$3
start_session
export XDG_DATA_HOME=$work/state  # no journal of an earlier run offered at start-up
"$tessera" & app=$!
new_map 5 || exit 1

# Imports $1 and closes the message that follows; the editor must still run, within 256 MB.
import_map() {
  menu_keys $file_menu_x Down Down Down Down Return || return 1
  local box peak
  box=$(window_named "^打开$") || return 1
  answer_file_dialog "$box" "$1" || return 1
  box=$(window_named "^信息：$") || return 1
  kill -0 "$app" || { echo "the editor ended importing $1"; return 1; }
  peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$app/status")
  # AddressSanitizer's own memory is no measure.
  [ -n "${TESSERA_SANITIZED:-}" ] || [ "$peak" -le 262144 ] || { echo "importing $1 took $peak kB"; return 1; }
  xdotool windowactivate --sync "$box" key Return
  until_ok window_gone "^信息：$"
}
import_map "$work/tiled.json" || exit 1
# A map path file would become the map's file (no "*"); a Tiled map is a change of the map.
case "$(xdotool getwindowname "$main")" in *"*") ;; *) echo "the Tiled JSON map was not imported as a map"; exit 1 ;; esac
import_map "$work/nested.tmx" || exit 1
import_map "$work/entities.tmx" || exit 1
echo "hostile imports ended in messages; the Tiled JSON map was imported"
