#!/usr/bin/env bash
# Tries an installed bridge directory the way a shop uses it: checks the
# installed layout, lays out the settings, the VAT rates and the example
# request files, starts a new virtual printer and runs the installed launcher
# unattended twice (every request but the day-end report, then the day-end
# report), and checks every answer, the printed receipt and the archive.
#
#   try_bridge_directory.sh [--answers DIR] BRIDGE_DIR PREFIX FPSIM EXAMPLES
#
# BRIDGE_DIR  the installed directory (where the program is now)
# PREFIX      the directory it was installed for (the autostart entry names it)
# FPSIM       the fpsim program
# EXAMPLES    examples/requests of the source tree
# --answers   also copy the answer files the bridge wrote into DIR
set -euo pipefail
answers=
if [ "${1:-}" = --answers ]; then
  answers=$2
  shift 2
fi
[ $# -eq 4 ] || { sed -n '2,16p' "$0" >&2; exit 2; }
bridge=$1
prefix=$2
fpsim=$3
examples=$4

work=$(mktemp -d)
fpsim_pid=
cleanup() {
  if [ -n "$fpsim_pid" ] && kill -0 "$fpsim_pid" 2>/dev/null; then
    kill -TERM "$fpsim_pid"
    wait "$fpsim_pid" || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in ERR.TXT Veltar.log; do
    [ -f "$bridge/$f" ] && { echo "--- $f" >&2; tail -n 20 "$bridge/$f" >&2; }
  done
  [ -f "$work/bridge.err" ] && { echo "--- the bridge's standard error" >&2; cat "$work/bridge.err" >&2; }
  exit 1
}

# --- the layout: one directory, the library beside the program.
for f in veltar2000 veltar2000-start share/veltar2000/veltar2000-setup; do
  [ -f "$bridge/$f" ] || fail "$f missing"
  [ -x "$bridge/$f" ] || fail "$f is not executable"
done
for f in libkordal.so veltar.env.example share/veltar2000/veltar2000.desktop \
    share/doc/veltar2000/README.md share/doc/veltar2000/examples/requests/VANZARI.TXT; do
  [ -f "$bridge/$f" ] || fail "$f missing"
done
grep -qx "Exec=$prefix/veltar2000-start" "$bridge/share/veltar2000/veltar2000.desktop" ||
  fail "the autostart entry does not start $prefix/veltar2000-start"
cmp -s "$examples/VANZARI.TXT" "$bridge/share/doc/veltar2000/examples/requests/VANZARI.TXT" ||
  fail "the installed example VANZARI.TXT is not the source's byte for byte"

# --- the shop's files: unattended operation on port 1, the printer's link
# named in veltar.env as a shop names its serial device.
link="$work/COM1"
sed -e 's/^TipInterfata=.*\r$/TipInterfata=1\r/' "$examples/Conf.ini" >"$bridge/Conf.ini"
cp "$examples/TVA.TXT" "$examples/GENERALE.TXT" "$bridge/"
printf '# written by the check\nKORDAL_COM1=%s\nLC_NUMERIC=C.UTF-8\n' "$link" >"$bridge/veltar.env"

"$fpsim" --link "$link" --state "$work/state" --journal "$work/roll.txt" 2>"$work/fpsim.log" &
fpsim_pid=$!
for _ in $(seq 50); do
  [ -L "$link" ] && break
  sleep 0.1
done
[ -L "$link" ] || fail "fpsim did not come up: $(cat "$work/fpsim.log")"

# No display and no library path: the program must run without Qt and find
# libkordal.so beside itself.
run_bridge() {
  local status=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LD_LIBRARY_PATH -u LC_ALL \
    timeout 120 "$bridge/veltar2000-start" >>"$work/bridge.err" 2>&1 || status=$?
  [ "$status" -ne 124 ] || fail "the bridge did not end within 120 s"
  # Also a sanitizer's finding in a checked build.
  [ "$status" -eq 0 ] || fail "the bridge ended with status $status"
}

requests=(FTEXT.TXT RAPX.TXT SERTAR.TXT SUME.TXT FCT.TXT VANZARI.TXT DESCRIERE.TXT NEFISCAL.TXT)
for f in "${requests[@]}"; do cp "$examples/$f" "$bridge/"; done
run_bridge
for f in "${requests[@]}"; do
  [ -e "$bridge/$f" ] && fail "$f is still in the bridge directory"
done
[ -e "$bridge/ERR.TXT" ] && fail "ERR.TXT written: $(cat "$bridge/ERR.TXT")"

grep -qaE '^ [0-9]+'$'\t\r''$' "$bridge/BON.TXT" || fail "BON.TXT is not ' <number>⇥': $(od -c "$bridge/BON.TXT")"
[ "$(cat "$bridge/RSPSUME.TXT")" = $' 150000 \r' ] ||
  fail "RSPSUME.TXT is not the 150000 put in: $(od -c "$bridge/RSPSUME.TXT")"
# 8 raw status bytes, then the printer's date and time.
tail -c +9 "$bridge/FCTRSP.TXT" | grep -qaE '^,[0-3][0-9]\.[01][0-9]\.20[0-9]{2} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]'$'\r''$' ||
  fail "FCTRSP.TXT is not status bytes and a date: $(od -c "$bridge/FCTRSP.TXT")"

receipts="$work/roll.txt.receipts"
[ "$(grep -c '^RECEIPT' "$receipts")" -eq 1 ] || fail "expected one closed receipt: $(cat "$receipts")"
[ "$(grep -c '^LINE' "$receipts")" -eq 4 ] || fail "expected the four sale lines: $(cat "$receipts")"
grep -q $'^RECEIPT\t[0-9]*\t[^\t]*\t173470\t' "$receipts" || fail "the receipt's total is not 173470: $(cat "$receipts")"
grep -qa 'Client: SC Exemplu SRL' "$work/roll.txt" || fail "the description line was not printed"
grep -qa 'MAGAZIN EXEMPLU SRL' "$work/roll.txt" || fail "the header line was not printed"
grep -qa 'BON DE TRANSPORT' "$work/roll.txt" || fail "the second non-fiscal receipt was not printed"

cp "$examples/RAPZ.TXT" "$bridge/"
run_bridge
[ -e "$bridge/RAPZ.TXT" ] && fail "RAPZ.TXT is still in the bridge directory"
# Z number 1, one receipt, groups A to D, exempt, the day's total (old lei:
# whole numbers), date, time.
grep -qaE '^1#1#79870#93600#0#0#0#173470#[0-9]{2}\.[0-9]{2}\.[0-9]{4}#[0-9]{2}:[0-9]{2}:[0-9]{2}'$'\r''$' \
  "$bridge/RSPRAPZ.TXT" || fail "RSPRAPZ.TXT: $(cat "$bridge/RSPRAPZ.TXT")"
archive=$(find "$bridge/Rap" -maxdepth 1 -type f -name '[0-9]*.1')
[ -n "$archive" ] || fail "no archive file in Rap/"
[ "$(echo "$archive" | wc -l)" -eq 1 ] || fail "more than one archive file in Rap/: $archive"
cmp -s "$archive" "$bridge/RSPRAPZ.TXT" || fail "the archive and RSPRAPZ.TXT differ"

if [ -n "$answers" ]; then
  mkdir -p "$answers"
  cp "$bridge/BON.TXT" "$bridge/RSPSUME.TXT" "$bridge/FCTRSP.TXT" "$bridge/RSPRAPZ.TXT" "$answers/"
fi
echo "bridge directory $bridge: the installed program answered every request"
