#!/usr/bin/env bash
# The four service screens of veltar2000 on a real X server, as the operator
# and the technician reach them: from the main window the periodic fiscal
# memory report ("Rapoarte memorie fiscala pe perioade") and the cash drawer
# sums ("Sume in Sertar"); from the service menu ("SERVICE") the fiscal
# elements ("Elemente fiscale") and the printer utilities ("Utilitare
# Imprimanta fiscala"). On each screen one button that only reads from the
# printer is pressed and the printer's request count must grow; the screen
# is photographed, left by its own way out (Esc or Exit), and the main
# window must come back. The program ends through the tray menu, status 0.
# The screenshots are left in the output directory (and copied to
# $VELTAR_SAVE_SCREENSHOTS_DIR when that is set).
#
# Buttons are reached by keyboard, not by pointer: positions depend on fonts
# and style, while the focus chains are fixed by the forms. Every screen puts
# the focus on its first control when it opens; the main window keeps the
# button that last had the focus, so the script keeps track of it.
#
# Usage: service_screens_test.sh BIN_DIR SELECTION_OWNER_TOOL OUTPUT_DIR
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
make_bridge_directory 0
start_program
mkdir -p "$output"
rm -f "$output/unexpected-box.png"

wait_for 30 only_tray_icon || fail "the program did not settle behind its tray icon"

readonly main_caption="COMENZI DISPONIBILE"
readonly menu_caption="SERVICE"

# Right button on the tray icon, then the entry $1 times Down from the top.
tray_menu_entry() {
  locate_tray_icon
  xdotool mousemove "$icon_x" "$icon_y" click 3
  wait_for 10 has_popup_menu || fail "no popup menu after a right click on the tray icon"
  local downs=()
  for _ in $(seq "$1"); do downs+=(Down); done
  xdotool key "${downs[@]}" Return
  wait_for 10 lacks_popup_menu || fail "the popup menu did not close after its entry"
}

focus_is() { [ "$(printf '0x%x' "$(xdotool getwindowfocus 2>/dev/null)")" = "$1" ]; }

# wait_window CAPTION WHAT: waits for the program's window CAPTION and gives
# it the keyboard (there is no window manager to do so); sets $shown.
wait_window() {
  wait_for 15 has_window_named "$1" || fail "$2: no window \"$1\""
  shown=$(window_named "$1")
  xdotool windowfocus "$shown"
  wait_for 5 focus_is "$shown" || fail "the window \"$1\" does not get the keyboard focus"
}

# The focus chain of the main window, enabled buttons only, in the order of
# the form; the window starts with the first and keeps the last one used.
main_chain=(Rapz Rapx RapoarteMF ServicePOS AboutB ExitBut SumeSertarBut)
main_focus=0
chain_index() {
  local i
  for i in "${!main_chain[@]}"; do
    [ "${main_chain[$i]}" = "$1" ] && { echo "$i"; return; }
  done
  fail "no button $1 in the main window's focus chain"
}

# press_main_button NAME: Tab from the button with the focus to NAME, Space.
press_main_button() {
  local target steps keys=()
  target=$(chain_index "$1")
  steps=$(((target - main_focus + ${#main_chain[@]}) % ${#main_chain[@]}))
  for _ in $(seq "$steps"); do keys+=(Tab); done
  keys+=(space)
  xdotool key --delay 60 "${keys[@]}"
  main_focus=$target
}

# requests_grow BEFORE WHAT: the printer answered more requests than BEFORE.
requests_grow() {
  local before=$1
  shift
  grown() { [ "$(printer_requests)" -gt "$before" ]; }
  wait_for 15 grown || fail "$*: the printer got no request"
}

# photograph NAME WINDOW: NAME.png of the painted window (a window not
# painted yet is one colour).
photograph() {
  local shot=$output/$1.png window=$2
  painted() {
    import -window "$window" "$shot" 2>/dev/null &&
      [ "$(identify -format '%k' "$shot" 2>/dev/null)" -gt 16 ]
  }
  wait_for 10 painted || fail "no screenshot of the painted window \"$1\""
  if [ -n "${VELTAR_SAVE_SCREENSHOTS_DIR:-}" ]; then
    mkdir -p "$VELTAR_SAVE_SCREENSHOTS_DIR"
    cp "$shot" "$VELTAR_SAVE_SCREENSHOTS_DIR/"
  fi
}

# leave KEYS CAPTION: KEYS on the screen CAPTION; it goes and the main
# window comes back with the keyboard.
leave() {
  xdotool key "$1"
  wait_for 10 lacks_window_named "$2" || fail "the screen \"$2\" stayed after $1"
  wait_window "$main_caption" "after leaving \"$2\""
  main=$shown
}

# The printer's command log is fpsim's own; no message box of the program
# may be waiting (a box would be a mapped window of its own).
only_window() {
  local others
  others=$(program_windows | awk -v w="$1" '$2 == "no" && $1 != w')
  [ -n "$others" ] || return 0
  # The box's words are in its picture only.
  import -window "$(head -n1 <<<"$others" | awk '{print $1}')" "$output/unexpected-box.png" \
    2>/dev/null || true
  fail "$2: a window besides the screen (picture in $output/unexpected-box.png): $others"
}

# --- the main window, through the tray menu's "Comenzi".
tray_menu_entry 1
wait_window "$main_caption" "\"Comenzi\""
main=$shown

# --- the periodic report: a summary of 1/1/05 to 31/12/05. The focus starts
# in the start day; Tab runs through the six dates, the check box and the
# print button.
readonly periodic="Rapoarte memorie fiscala pe perioade"
press_main_button RapoarteMF
wait_window "$periodic" "RapoarteMF"
wait_for 10 lacks_window_named "$main_caption" || fail "the main window stayed beside \"$periodic\""
before=$(printer_requests)
xdotool type --delay 40 1
xdotool key Tab
xdotool type --delay 40 1
xdotool key Tab
xdotool type --delay 40 05
xdotool key Tab
xdotool type --delay 40 31
xdotool key Tab
xdotool type --delay 40 12
xdotool key Tab
xdotool type --delay 40 05
xdotool key --delay 60 Tab Tab space
requests_grow "$before" "the periodic report"
sleep 0.5
only_window "$shown" "the periodic report"
photograph periodic-report "$shown"
leave Escape "$periodic"

# --- the cash drawer sums: Enter with an empty amount reads the totals (and
# opens the drawer).
readonly cash="Sume in Sertar"
press_main_button SumeSertarBut
wait_window "$cash" "SumeSertarBut"
wait_for 10 lacks_window_named "$main_caption" || fail "the main window stayed beside \"$cash\""
before=$(printer_requests)
xdotool key Return
requests_grow "$before" "the drawer sums"
sleep 0.5
only_window "$shown" "the drawer sums"
photograph cash-drawer "$shown"
leave Escape "$cash"

# --- the service menu: its window replaces the main window. Its focus chain
# starts at ServiceFiscal: ServiceFiscal, UtilitarBut, RapTehBut, ExitBut.
open_service_menu() {
  press_main_button ServicePOS
  wait_window "$menu_caption" "ServicePOS"
  menu=$shown
  wait_for 10 lacks_window_named "$main_caption" ||
    fail "the main window stayed beside the service menu"
}

# --- the fiscal elements: the focus starts in TVAA; five Tabs reach
# CitesteCote, which reads the four VAT rates.
readonly fiscal="Elemente fiscale"
open_service_menu
photograph service-menu "$menu"
xdotool key space
wait_window "$fiscal" "ServiceFiscal"
lacks_window_named "$menu_caption" || fail "the service menu stayed open beside \"$fiscal\""
before=$(printer_requests)
xdotool key --delay 60 Tab Tab Tab Tab Tab space
requests_grow "$before" "the VAT rates read"
sleep 0.5
only_window "$shown" "the VAT rates read"
photograph fiscal-elements "$shown"
# Trading stands still from the service menu on: a drawer request stays
# untaken while the screen is open. Its way back asks for the trading
# checks, which start polling again, and the request is taken.
: >"$bridge/sertar.tmp"
mv "$bridge/sertar.tmp" "$bridge/SERTAR.TXT"
sleep 2.5
[ -e "$bridge/SERTAR.TXT" ] || fail "the polling tick ran while the fiscal elements screen was open"
leave alt+x "$fiscal"
wait_for 15 test ! -e "$bridge/SERTAR.TXT" ||
  fail "trading did not resume after the fiscal elements screen (SERTAR.TXT untaken)"

# --- the printer utilities: Alt+D is "Citeste &Data/Ora", the clock read.
readonly utilities="Utilitare Imprimanta fiscala"
open_service_menu
xdotool key --delay 60 Tab space
wait_window "$utilities" "UtilitarBut"
screen=$shown
# Polling stopped again with the service menu; this request must wait for
# the utilities screen's way back.
: >"$bridge/sertar.tmp"
mv "$bridge/sertar.tmp" "$bridge/SERTAR.TXT"
before=$(printer_requests)
xdotool key alt+d
requests_grow "$before" "the clock read"
# The reply's status goes through the printer-error report, which tells a
# fiscalized printer (fpsim is one) in a box of its own; OK closes it.
wait_window "Rutina Verificare" "the clock read's status report"
xdotool key Return
wait_for 10 lacks_window_named "Rutina Verificare" || fail "the status report stayed after OK"
sleep 0.5
xdotool windowfocus "$screen"
only_window "$screen" "the clock read"
photograph printer-utilities "$screen"
[ -e "$bridge/SERTAR.TXT" ] || fail "the polling tick ran while the service screens were open"
# The way back sets the main window to run the trading checks again on its
# activation; they talk to the printer and must find nothing to report.
before=$(printer_requests)
leave alt+x "$utilities"
requests_grow "$before" "the checks after the utilities screen"
sleep 1
only_window "$main" "the checks after the utilities screen"
wait_for 15 test ! -e "$bridge/SERTAR.TXT" ||
  fail "trading did not resume after the utilities screen (SERTAR.TXT untaken)"

# --- the way out: tray "Exit", answered Yes.
tray_menu_entry 2
wait_window "VELTAR 2000" "\"Exit\""
xdotool key alt+y
wait_for 20 program_ended || fail "the program did not end after Yes"
status=0
wait "$program_pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
program_pid=
if [ -s "$bridge/ERR.TXT" ]; then fail "the program reported an error"; fi
echo "veltar2000 on $DISPLAY: periodic report, drawer sums, fiscal elements, printer utilities; screenshots in $output"
