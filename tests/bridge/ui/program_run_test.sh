#!/usr/bin/env bash
# The program file veltar2000 as an unattended till runs it: copied with
# libkordal.so into a bridge directory of its own, against fpsim behind
# KORDAL_COM1, with one sale waiting. It must carry the sale out in its one
# polling tick, answer BON.TXT with the printer's receipt number, end by
# itself with status 0 and leave the printer's line as it found it (the port
# closed through the library, which puts the line settings back).
#
# Usage: program_run_test.sh BIN_DIR offscreen|no-display
set -euo pipefail
bin=$1
mode=$2
work=$(mktemp -d)
bridge=$work/bridge
fpsim_pid=
cleanup() {
  if [ -n "$fpsim_pid" ]; then
    kill -TERM "$fpsim_pid" 2>/dev/null || true
    wait "$fpsim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL ($mode): $*" >&2
  for f in "$work/err" "$bridge/Veltar.log" "$bridge/ERR.TXT" "$work/fpsim.log"; do
    [ -s "$f" ] && { echo "--- $f" >&2; cat "$f" >&2; }
  done
  exit 1
}

"$bin/fpsim" --link "$work/COM1" --state "$work/state" --journal "$work/roll.txt" \
  2>>"$work/fpsim.log" &
fpsim_pid=$!
for _ in $(seq 50); do [ -L "$work/COM1" ] && break; sleep 0.1; done
[ -L "$work/COM1" ] || fail "fpsim did not come up"
terminal=$(readlink "$work/COM1")
line_before=$(stty -g -F "$terminal")

mkdir "$bridge"
cp "$bin/veltar2000" "$bin/libkordal.so" "$bridge/"
printf '[Mag]\r\nComPort=%s\r\nMultiplu=0\r\nTipInterfata=1\r\nTipMesaj=0\r\nTitlu=VELTAR\r\n' 1 \
  >"$bridge/Conf.ini"
# The printer's own rates, as the sales application knows them.
printf '19\t9\t5\t0\t\r\n' >"$bridge/TVA.TXT"
printf 'PAINE\t2\t3\tA\t\r\nLAPTE\t1\t10\tB\t\r\n$\tC\t20\t\r\n' >"$bridge/VANZARI.TXT"

case $mode in
  offscreen) run=(env QT_QPA_PLATFORM=offscreen) ;;
  no-display) run=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM) ;;
  *) fail "unknown mode $mode" ;;
esac
status=0
# From another directory: the program must find its files beside itself.
(cd "$work" && "${run[@]}" KORDAL_COM1="$work/COM1" timeout 60 "$bridge/veltar2000" \
  >"$work/out" 2>"$work/err") || status=$?
[ "$status" -eq 0 ] || fail "exit status $status"

[ -e "$bridge/VANZARI.TXT" ] && fail "the sale was not carried out"
[ -f "$bridge/BON.TXT" ] || fail "no BON.TXT"
receipt=$(grep -m1 '^RECEIPT' "$work/roll.txt.receipts" | cut -f2) ||
  fail "the printer closed no receipt"
printf ' %s\t\r\n' "$receipt" | cmp -s - "$bridge/BON.TXT" ||
  fail "BON.TXT holds '$(cat -A "$bridge/BON.TXT")', the printer's receipt is $receipt"
[ "$(grep -c '^RECEIPT' "$work/roll.txt.receipts")" -eq 1 ] || fail "not exactly one receipt"
[ "$(stty -g -F "$terminal")" = "$line_before" ] ||
  fail "the program ended without closing the port"
[ -s "$bridge/ERR.TXT" ] && fail "an error was reported"
echo "veltar2000 ($mode): sale carried out, receipt $receipt, port closed"
