# Shell functions for the tests that drive the real editor on a virtual X server with openbox.
# Sourced by those scripts; $work is their scratch folder, $main the main window's id.

# A scratch folder $work, removed when the script ends.
make_work() {
  command -v xdotool >/dev/null || { echo "xdotool is missing (scripts/setup installs it)"; exit 1; }
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
}
# Runs this script again on a virtual X server of its own (a display number away from other tests
# started at the same moment) as `SCRIPT --on-display ARGS...`, and exits with its status.
run_on_display() {
  export QT_QPA_PLATFORM=xcb
  local status=0
  xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" "$0" --on-display "$@" || status=$?
  exit $status
}
# On the display: a runtime folder of its own in $work, and openbox managing the screen.
start_session() {
  export XDG_RUNTIME_DIR=$work/runtime
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  app=""
  trap 'kill $wm $app 2>/dev/null' EXIT
  start_wm || start_wm || { echo "openbox did not start"; exit 1; }
}

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
# Starts openbox and waits until it manages the screen; fails as soon as it exits.
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

# A new map of $1 × $1 cells (1000 unless given) through the button of the empty canvas.
new_map() {
  main=$(window_named "^青石") || return 1
  click_main "${new_map_button[@]}"
  local box
  box=$(window_named "^信息：$") || return 1
  xdotool windowactivate --sync "$box" key Return
  box=$(window_named "^请输入地图大小") || return 1
  xdotool windowactivate --sync "$box" key ctrl+a type "${1:-1000}"
  xdotool key Return
  until_ok window_gone "^请输入地图大小"
}

# 功能 → 自动拼图…: the reference $1 (none when the one shown in 原大地图 is used), then the slice
# folder $2; the slices are read in the background.
start_assembly() {
  menu_keys $function_menu_x Up Up Return || return 1
  local box
  if [ -n "$1" ]; then
    box=$(window_named "^自动拼图：选择原大地图") || return 1
    answer_file_dialog "$box" "$1" || return 1
  fi
  box=$(window_named "^选择切片所在的文件夹$") || return 1
  answer_file_dialog "$box" "$2"
}

# 文件 → 导入数据 (after 新建, 打开地图… and 最近打开的地图), the map path file $1 ($work/map.tlp unless given), and the message after it read.
import_map() {
  menu_keys $file_menu_x Down Down Down Down Return || return 1
  local box
  box=$(window_named "^打开$") || return 1
  answer_file_dialog "$box" "${1:-$work/map.tlp}" || return 1
  box=$(window_named "^信息：$") || return 1
  xdotool windowactivate --sync "$box" key Return
  until_ok window_gone "^信息：$"
}
