#!/usr/bin/env bash
# The bridge's main job on the virtual printer, on a machine without a display:
# installs what the build needs, builds fpsim, libkordal.so and veltar2000 (a
# normal build in build/run), lays out a fresh bridge directory in
# build/run/demo/bridge with the example files of examples/requests, starts a
# new virtual printer and runs the bridge unattended twice: a sale
# (VANZARI.TXT, DESCRIERE.TXT) answered in BON.TXT, then a day-end report
# (RAPZ.TXT) answered in RSPRAPZ.TXT and archived in Rap/. Shows the answers,
# the paper roll, the printer's receipt record and the bridge's log.
#
#   scripts/demo.sh          the run above
#   scripts/demo.sh --gui    the same directory, then the bridge with its tray
#                            icon on this display until the operator leaves it
#
# Everything starts new at every run (directory and printer), so receipt
# numbers start at 1 and a printer day left open by an earlier run cannot
# stop trading at the 24-hour check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

mode=unattended
case "${1:-}" in
  "") ;;
  --gui) mode=gui ;;
  *) echo "usage: scripts/demo.sh [--gui]" >&2; exit 2 ;;
esac

"$root/scripts/deps.sh"

# The demo's own build: the three programs only, no tests or benchmarks.
build="$root/build/run"
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTAR_BENCH=OFF \
  -DVELTAR_TESTS=OFF >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 1; }
cmake --build "$build" --target fpsim kordal veltar2000

demo="$build/demo"
bridge="$demo/bridge"
examples="$root/examples/requests"
link="$demo/COM1"
control="$demo/control"
roll="$demo/roll.txt"
fpsim_pid=

fail() {
  echo "demo: FAILED: $*" >&2
  for f in ERR.TXT Veltar.log; do
    if [ -f "$bridge/$f" ]; then
      echo "--- $f" >&2
      tail -n 20 "$bridge/$f" | iconv -f CP1250 -t UTF-8 >&2
    fi
  done
  exit 1
}
stop_fpsim() {
  if [ -n "$fpsim_pid" ] && kill -0 "$fpsim_pid" 2>/dev/null; then
    kill -TERM "$fpsim_pid"
    wait "$fpsim_pid" || true
  fi
  fpsim_pid=
}
trap stop_fpsim EXIT

# A text file of the bridge as a person reads it: code page 1250 shown in
# UTF-8, each TAB as ⇥, the CR LF line ends as plain line ends.
show() {
  echo "== $1"
  iconv -f CP1250 -t UTF-8 "$2" | sed -e 's/\t/⇥/g' -e 's/\r$//'
}

# --- the bridge directory: the program, the library beside it, the settings,
# the VAT rates the sales application expects (fpsim's: 19, 9, 5, 0), the
# receipt header and footer, and the sale.
rm -rf "$demo"
mkdir -p "$bridge"
cp "$build/bin/veltar2000" "$build/bin/libkordal.so" "$bridge/"
interface=1
[ "$mode" = gui ] && interface=0
sed -e "s/^TipInterfata=.*\r\$/TipInterfata=$interface\r/" "$examples/Conf.ini" >"$bridge/Conf.ini"
grep -q "^TipInterfata=$interface"$'\r'"\$" "$bridge/Conf.ini" || fail "Conf.ini has no TipInterfata line"
cp "$examples/TVA.TXT" "$examples/GENERALE.TXT" "$examples/VANZARI.TXT" "$examples/DESCRIERE.TXT" \
  "$bridge/"

# --- a new virtual printer on a pseudo-terminal, printing at 9600 baud and
# 10 ms a line; port 1 of the library is its link.
"$build/bin/fpsim" --link "$link" --state "$demo/printer.state" --journal "$roll" \
  --control "$control" --pace --line-ms 10 2>"$demo/fpsim.log" &
fpsim_pid=$!
for _ in $(seq 50); do
  [ -L "$link" ] && [ -p "$control" ] && break
  sleep 0.1
done
[ -L "$link" ] || fail "fpsim did not come up: $(cat "$demo/fpsim.log")"

if [ "$mode" = gui ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    fail "--gui needs a display (DISPLAY or WAYLAND_DISPLAY)"
  fi
  cat <<EOF
== The bridge runs with its tray icon (TipInterfata=0), port 1 = $link
Bridge directory: $bridge
  Its first polling pass prints the sale waiting there. Then try:
  - a new sale:  cp $examples/VANZARI.TXT $bridge/   (BON.TXT answers)
  - the other requests: cp $examples/FTEXT.TXT (or SUME.TXT, FCT.TXT,
    NEFISCAL.TXT, RAPX.TXT, RAPZ.TXT) $bridge/
  - the main window: double-click the tray icon; X and Z reports, cash in
    the drawer, the service screens; leave through Exit.
  - printer troubles: echo 'paper-out on' > $control   (then 'paper-out off';
    'fpsim --help' lists them all)
  - the paper roll: tail -f $roll
EOF
  LC_NUMERIC=C.UTF-8 KORDAL_COM1="$link" "$bridge/veltar2000" || true
  stop_fpsim
  echo
  show "paper roll ($roll)" "$roll"
  [ -f "$bridge/Veltar.log" ] && show "Veltar.log" "$bridge/Veltar.log"
  exit 0
fi

# One unattended run: load, open port 1, the trading pre-checks, one polling
# pass over the request files, end. No display, so no Qt: message boxes go to
# standard error and Veltar.log. The number format is the C locale's (a
# decimal point), as the example files are written.
run_bridge() {
  local status=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LC_ALL LC_NUMERIC=C.UTF-8 \
    KORDAL_COM1="$link" timeout 120 "$bridge/veltar2000" || status=$?
  [ "$status" -eq 124 ] && fail "the bridge did not end within 120 s"
  [ "$status" -eq 0 ] || echo "(the bridge ended with status $status)"
}

echo
echo "== 1. A sale: VANZARI.TXT and DESCRIERE.TXT in $bridge"
show "VANZARI.TXT (⇥ is a TAB)" "$bridge/VANZARI.TXT"
run_bridge
[ -f "$bridge/VANZARI.TXT" ] && fail "VANZARI.TXT is still there: the sale did not complete"
[ -f "$bridge/BON.TXT" ] || fail "no BON.TXT"
[ -e "$bridge/DESCRIERE.TXT" ] && fail "DESCRIERE.TXT is still there"
show "BON.TXT (a blank, the receipt number, TAB)" "$bridge/BON.TXT"
grep -qaE '^ [0-9]+'$'\t\r''$' "$bridge/BON.TXT" || fail "BON.TXT is not ' <number>⇥'"
log="$bridge/Veltar.log"
touch "$log"
log_after_sale=$(wc -c <"$log")

echo
echo "== 2. The day-end report: RAPZ.TXT"
cp "$examples/RAPZ.TXT" "$bridge/"
run_bridge
[ -f "$bridge/RAPZ.TXT" ] && fail "RAPZ.TXT is still there"
[ -f "$bridge/RSPRAPZ.TXT" ] || fail "no RSPRAPZ.TXT"
show "RSPRAPZ.TXT (Z number#receipts#groups A to D#exempt#total#date#time)" "$bridge/RSPRAPZ.TXT"
archive=$(find "$bridge/Rap" -maxdepth 1 -type f -name '[0-9]*.1' 2>/dev/null | head -n 1)
[ -n "$archive" ] || fail "no archive file in Rap/"
show "Rap/$(basename "$archive")" "$archive"
cmp -s "$archive" "$bridge/RSPRAPZ.TXT" || fail "the archive and RSPRAPZ.TXT differ"

stop_fpsim
echo
show "paper roll ($roll)" "$roll"
[ -s "$roll.receipts" ] || fail "fpsim recorded no closed receipt"
show "receipt record ($roll.receipts)" "$roll.receipts"
[ "$(grep -c '^RECEIPT' "$roll.receipts")" -eq 1 ] || fail "expected exactly one closed receipt"
echo
# The bridge logs its messages and failures only: a clean run may log nothing.
show_log() {
  if [ -s "$2" ]; then show "$1" "$2"; else echo "== $1: no new lines (no message, no failure)"; fi
}
head -c "$log_after_sale" "$log" >"$demo/log.sale"
tail -c +"$((log_after_sale + 1))" "$log" >"$demo/log.report"
show_log "Veltar.log, the sale" "$demo/log.sale"
show_log "Veltar.log, the day-end report" "$demo/log.report"
echo
echo "demo: done. The bridge directory stays in $bridge"
