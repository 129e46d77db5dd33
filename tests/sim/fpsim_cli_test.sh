#!/usr/bin/env bash
# The fpsim program as a user runs it: help, serving behind a link, the control
# FIFO, a receipt through the example program, and a clean stop on SIGTERM that
# saves the state and removes the link and the FIFO; then a restart that goes on
# from the saved memory.
set -euo pipefail
bin=$1
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

help=$("$bin/fpsim" --help)
for word in --link --state --journal --control --pace --power-loss paper-out fault fault-at \
    power-fail-after power-fail; do
  grep -q -- "$word" <<<"$help" || fail "--help does not mention $word"
done
"$bin/fpsim" 2>/dev/null && fail "fpsim without --link must refuse to start"

start() {
  "$bin/fpsim" --link "$work/COM1" --state "$work/state" --journal "$work/roll.txt" \
    --control "$work/ctl" 2>>"$work/log" &
  pid=$!
  for _ in $(seq 50); do [ -L "$work/COM1" ] && [ -p "$work/ctl" ] && return; sleep 0.1; done
  fail "fpsim did not come up: $(cat "$work/log")"
}
stop() {
  kill -TERM "$pid"
  wait "$pid" || fail "fpsim did not exit cleanly"
  pid=
  [ -e "$work/COM1" ] && fail "link left behind"
  [ -e "$work/ctl" ] && fail "control FIFO left behind"
  [ -s "$work/state" ] || fail "no state saved"
}

start
[ -f "$work/state" ] && fail "a new printer has no state file before it is stopped or used"
KORDAL_COM1="$work/COM1" "$bin/print_receipt" >/dev/null || fail "first receipt"
echo "paper-out on" >"$work/ctl"
sleep 0.3
KORDAL_COM1="$work/COM1" "$bin/print_receipt" >/dev/null 2>&1 && fail "printed without paper"
printf 'paper-out off\nshow\nnonsense\n' >"$work/ctl"
sleep 0.3
grep -q "unknown control line 'nonsense'" "$work/log" || fail "bad control line not reported"
grep -q "^status " "$work/log" || fail "show printed nothing"
printf 'fault-at 1 no-reply\nfault-at 100000 power-fail-before\nshow\nfault clear\n' >"$work/ctl"
sleep 0.3
grep -q "request 1 has already been answered" "$work/log" || fail "fault-at on a past frame accepted"
grep -Eq "^requests [1-9][0-9]*; armed power-fail-before at 100000$" "$work/log" ||
  fail "show does not give the request count and the armed fault"
stop

start
KORDAL_COM1="$work/COM1" "$bin/print_receipt" >/dev/null || fail "receipt after restart"
stop
grep -c "^RECEIPT" "$work/roll.txt.receipts" | grep -qx 2 || fail "expected two receipt records"
grep -q "NR. 2" "$work/roll.txt" || fail "numbering did not go on after the restart"
echo "fpsim command line: all checks passed"
