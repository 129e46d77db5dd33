#!/usr/bin/env bash
# Prints one fiscal receipt on the virtual printer through libkordal and shows
# the paper roll: installs what the build needs, builds what is missing (a normal
# build in build/run), starts fpsim, runs examples/print_receipt, stops fpsim.
# The printer's memory lives in build/run/demo, so receipt numbers go on from
# one run to the next.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"

build="$root/build/run"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTAR_BENCH=OFF
fi
cmake --build "$build" --target fpsim print_receipt

demo="$build/demo"
mkdir -p "$demo"
link="$demo/COM1"
roll="$demo/roll.txt"
touch "$roll" "$roll.receipts"
roll_before=$(stat -c %s "$roll")
record_before=$(stat -c %s "$roll.receipts")

"$build/bin/fpsim" --link "$link" --state "$demo/state" --journal "$roll" --pace --line-ms 10 &
fpsim_pid=$!
stop_fpsim() {
  if kill -0 "$fpsim_pid" 2>/dev/null; then
    kill -TERM "$fpsim_pid"
    wait "$fpsim_pid" || true
  fi
}
trap stop_fpsim EXIT

for _ in $(seq 50); do
  [ -L "$link" ] && break
  sleep 0.1
done
[ -L "$link" ] || { echo "fpsim did not come up" >&2; exit 1; }

echo "== print_receipt (KORDAL_COM1=$link)"
KORDAL_COM1="$link" "$build/bin/print_receipt"

echo
echo "== paper roll ($roll)"
tail -c +"$((roll_before + 1))" "$roll"
echo "== receipt record ($roll.receipts)"
tail -c +"$((record_before + 1))" "$roll.receipts"

stop_fpsim
trap - EXIT
