#!/usr/bin/env bash
# The program veltar2000 in normal operation, as an operator meets it on a
# real X server: its icon in a real tray (trayer, the XEmbed protocol), the
# popup menu on the right button, the main window through "Comenzi", hidden
# again by a click on its background, shown by a double-click on the icon
# with the caption "Double Click", and the way out through "Exit": a No that
# leaves the program running, then a Yes that ends it with status 0 and the
# printer's line closed. A screenshot of the main window is left in the
# output directory (and copied to $VELTAR_SAVE_SCREENSHOT when that is set).
#
# Usage: tray_program_test.sh BIN_DIR SELECTION_OWNER_TOOL OUTPUT_DIR
# Ends with 77 (skipped) when no X server can be started here.
set -euo pipefail
readonly skipped=77
BIN_DIR=$1
SELECTION_OWNER=$2
output=$3
# shellcheck source=tests/x11/x11_session.sh
source "$(dirname "$0")/x11_session.sh"

if tool=$(missing_x11_tool import identify); then
  echo "SKIPPED: $tool is not installed (scripts/deps.sh installs it)"
  exit "$skipped"
fi
session_begin
start_x_server || { echo "SKIPPED"; exit "$skipped"; }
start_tray
start_printer
line_before=$(stty -g -F "$terminal")
make_bridge_directory 0
start_program

wait_for 30 only_tray_icon || fail "the program did not settle behind its tray icon"
holds_terminal || fail "the program does not hold the printer's line open"

# Trading runs: the polling tick takes a request (open the drawer) within a
# few seconds.
: >"$bridge/sertar.tmp"
mv "$bridge/sertar.tmp" "$bridge/SERTAR.TXT"
wait_for 15 test ! -e "$bridge/SERTAR.TXT" || fail "the polling tick did not take SERTAR.TXT"

# Right button on the tray icon, then the menu entry that is $1 times Down
# from the top. The popup grabs the keyboard, so the keys reach it wherever
# the focus was.
tray_menu_entry() {
  locate_tray_icon
  xdotool mousemove "$icon_x" "$icon_y" click 3
  wait_for 10 has_popup_menu || fail "no popup menu after a right click on the tray icon"
  local downs=()
  for _ in $(seq "$1"); do downs+=(Down); done
  xdotool key "${downs[@]}" Return
  wait_for 10 lacks_popup_menu || fail "the popup menu did not close after its entry"
}

# Answers the exit question with the key $1 (alt+y, alt+n).
answer_exit_question() {
  local box
  wait_for 10 has_window_named "VELTAR 2000" ||
    fail "no question box titled \"VELTAR 2000\" after \"Exit\""
  box=$(window_named "VELTAR 2000")
  # Without a window manager the box takes the focus itself; making sure
  # keeps a slow start from sending the answer elsewhere.
  xdotool windowfocus "$box"
  wait_for 5 focus_is "$box" || fail "the question box does not get the keyboard focus"
  xdotool key "$1"
  wait_for 10 lacks_window_named "VELTAR 2000" || fail "the question box stayed after $1"
}
focus_is() { [ "$(printf '0x%x' "$(xdotool getwindowfocus 2>/dev/null)")" = "$1" ]; }

# --- right button, "Comenzi": the main window appears.
tray_menu_entry 1
wait_for 10 has_window_named "COMENZI DISPONIBILE" ||
  fail "\"Comenzi\" did not show the window \"COMENZI DISPONIBILE\""
main=$(window_named "COMENZI DISPONIBILE")

# --- a press on its background (inside the layout's margin) hides it.
xdotool mousemove --window "$main" 6 6 click 1
main_hidden() { [ -z "$(program_windows | awk -v w="$main" '$1 == w')" ]; }
wait_for 10 main_hidden || fail "a click on the main window's background did not hide it"

# --- a double-click on the icon shows it again, captioned "Double Click".
locate_tray_icon
xdotool mousemove "$icon_x" "$icon_y" click --repeat 2 --delay 80 1
wait_for 10 has_window_named "Double Click" ||
  fail "a double-click on the tray icon showed no window \"Double Click\""
[ "$(window_named "Double Click")" = "$main" ] ||
  fail "the window \"Double Click\" is not the main window"

# --- its picture, once it has been painted (a window not painted yet is one
# colour).
mkdir -p "$output"
shot=$output/main-window.png
painted() {
  import -window "$main" "$shot" 2>/dev/null &&
    [ "$(identify -format '%k' "$shot" 2>/dev/null)" -gt 16 ]
}
wait_for 10 painted || fail "no screenshot of the painted main window"
if [ -n "${VELTAR_SAVE_SCREENSHOT:-}" ]; then
  cp "$shot" "$VELTAR_SAVE_SCREENSHOT"
fi

# --- "Exit" answered No: the program runs on, the line still open.
tray_menu_entry 2
answer_exit_question alt+n
program_running || fail "the program ended although the exit question was answered No"
holds_terminal || fail "the printer's line was closed although the answer was No"

# --- "Exit" answered Yes: the program ends with 0 and gives the line back
# in the settings it found (the library restores them when it closes the port).
tray_menu_entry 2
answer_exit_question alt+y
wait_for 20 program_ended || fail "the program did not end after Yes"
status=0
wait "$program_pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
program_pid=
[ "$(stty -g -F "$terminal")" = "$line_before" ] ||
  fail "the program ended without closing the printer's port"
if [ -s "$bridge/ERR.TXT" ]; then fail "the program reported an error"; fi
echo "veltar2000 on $DISPLAY: tray menu, main window, double-click, exit No then Yes; screenshot $shot"
