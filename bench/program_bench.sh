#!/usr/bin/env bash
# What the program file veltar2000 itself costs, in a Release build:
#
#   once   An unattended run with nothing to do (TipInterfata=1, no request
#          files, a new fpsim each run): wall time of the whole run, the part
#          spent inside libkordal.so (measured by a stand-in library that
#          passes every call on, bench/kordal_meter.cpp), the rest, and the
#          peak resident set. Without a display, with QT_QPA_PLATFORM=offscreen,
#          and without a display against a printer paced at 9600 baud.
#   idle   The program in normal operation behind its tray icon (Xvfb,
#          trayer, fpsim), left alone for IDLE_SECONDS: CPU share (utime +
#          stime of all its threads), wake-ups, resident set at both ends and
#          its peak, and the printer requests the idle polling sent.
#
#   bench/program_bench.sh [once|idle|all] [BUILD_DIR]
#       RUNS=10 (runs of `once` per configuration), IDLE_SECONDS=60
#
# BUILD_DIR (default build/bench-program) is configured as a Release build
# without sanitizers and the programs it needs are built there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-all}
build=${2:-$root/build/bench-program}
runs=${RUNS:-10}
idle_seconds=${IDLE_SECONDS:-60}
case $what in
  once | idle | all) ;;
  *) echo "usage: bench/program_bench.sh [once|idle|all] [BUILD_DIR]" >&2; exit 2 ;;
esac
[ -x /usr/bin/time ] || { echo "program_bench: /usr/bin/time is missing (Debian package time)" >&2; exit 1; }

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTAR_SANITIZE=OFF \
  -DVELTAR_BENCH=OFF >"$build.configure.log" 2>&1 || { cat "$build.configure.log" >&2; exit 1; }
cmake --build "$build" --target veltar2000 kordal fpsim x11_selection_owner >/dev/null

BIN_DIR=$build/bin
SELECTION_OWNER=$BIN_DIR/x11_selection_owner
# shellcheck source=tests/x11/x11_session.sh
source "$root/tests/x11/x11_session.sh"
session_begin

# The median, the smallest and the largest of the numbers on standard input.
summary() { sort -n | awk '{v[NR] = $1} END {printf "%s (%s..%s)", v[int((NR + 1) / 2)], v[1], v[NR]}'; }

once() {
  local meter=$work/meter/libkordal.so
  mkdir -p "$work/meter"
  g++ -std=c++20 -O2 -Wall -Wextra -Werror -shared -fPIC -fvisibility=hidden -I"$root/link/include" \
    "$root/bench/kordal_meter.cpp" -o "$meter" -ldl

  echo "== once: unattended run, nothing to do; $runs runs each, median (min..max)"
  echo "(load average before: $(cut -d' ' -f1-3 /proc/loadavg); after: see the end)"
  local config
  for config in no-display offscreen no-display-paced; do
    local results=$work/once-$config
    : >"$results"
    for _ in $(seq "$runs"); do
      local pace=()
      [ "$config" = no-display-paced ] && pace=(--pace)
      start_printer "${pace[@]}"
      make_bridge_directory 1
      cp "$meter" "$bridge/libkordal.so"
      local run=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
      [ "$config" = offscreen ] && run=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen)
      local start end status=0
      start=${EPOCHREALTIME/./}
      "${run[@]}" KORDAL_COM1="$work/COM1" KORDAL_METER_LIBRARY="$BIN_DIR/libkordal.so" \
        KORDAL_METER_REPORT="$work/meter.txt" LC_NUMERIC=C.UTF-8 \
        /usr/bin/time -f '%M %U %S' -o "$work/time.txt" "$bridge/veltar2000" \
        >"$work/program.out" 2>"$work/program.err" || status=$?
      end=${EPOCHREALTIME/./}
      [ "$status" -eq 0 ] || fail "$config: the program ended with status $status"
      if [ -s "$bridge/ERR.TXT" ]; then fail "$config: the program reported an error"; fi
      local requests
      requests=$(printer_requests)
      session_stop "$fpsim_pid"
      fpsim_pid=
      local rss user system
      read -r rss user system <"$work/time.txt"
      awk -v wall=$(((end - start) / 1000)) -v rss="$rss" -v cpu="$user $system" \
        -v requests="$requests" '
        {calls[$1] = $2; us[$1] = $3}
        END {
          if (calls["exchange"] != requests) {
            printf "the printer answered %d requests, the library made %d exchanges\n",
              requests, calls["exchange"] > "/dev/stderr"
            exit 1
          }
          ex = us["exchange"] / 1000; port = us["port"] / 1000; wait = us["wait"] / 1000
          split(cpu, t, " ")
          printf "%d %d %.1f %.1f %.1f %.1f %.1f %.1f %d\n", wall, calls["exchange"], ex, port,
            wait, wall - ex, wall - ex - port - wait - us["setting"] / 1000, rss / 1024,
            (t[1] + t[2]) * 1000
        }' "$work/meter.txt" >>"$results" || fail "$config: exchanges and printer requests differ"
    done
    local start_only=-
    [ "$config" = no-display-paced ] || start_only=$(process_start_only "$config" | summary)
    local c names=("wall ms" exchanges "exchange ms" "port ms" "wait ms" "rest ms" "beyond all"
      "peak RSS MiB" "CPU ms")
    echo "$config:"
    for c in 1 2 3 4 5 6 7 8 9; do
      printf '  %-14s %s\n' "${names[c - 1]}" "$(cut -d' ' -f"$c" "$results" | summary)"
    done
    printf '  %-14s %s\n' "start+exit ms" "$start_only"
  done
  cat <<'EOF'
  wall ms: the whole run, start to exit; exchange ms: inside the library's
  printer commands (each waits 20 ms before its reply, as the protocol asks);
  rest ms: wall minus exchanges (the goal: under 50); beyond all: wall minus
  every library call (port open and close, waits, time-out switches);
  peak RSS: /usr/bin/time's maximum resident set size; CPU ms: user + system
  time of the run (in steps of 10 ms), which other load on the machine
  does not stretch as it stretches wall times; start+exit ms: the
  same program file started as a second copy in the same directory, which
  ends at once: loading the program and its libraries (and, offscreen,
  making the QApplication), then ending.
EOF
  echo "(load average after: $(cut -d' ' -f1-3 /proc/loadavg))"
}

# The cost of a run that does nothing at all: another copy holds the bridge
# directory, so the program ends as soon as it has looked. One wall time in
# ms a line.
process_start_only() {
  start_printer
  make_bridge_directory 0
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KORDAL_COM1="$work/COM1" \
    "$bridge/veltar2000" >"$work/holder.out" 2>"$work/holder.err" &
  program_pid=$!
  wait_for 15 holds_terminal || fail "the first copy did not open the port"
  local run=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
  [ "$1" = offscreen ] && run=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen)
  local start end
  for _ in $(seq "$runs"); do
    start=${EPOCHREALTIME/./}
    "${run[@]}" KORDAL_COM1="$work/COM1" "$bridge/veltar2000" >/dev/null 2>&1 ||
      fail "the second copy ended with an error"
    end=${EPOCHREALTIME/./}
    echo $(((end - start) / 1000))
  done
  session_stop "$program_pid"
  program_pid=
  session_stop "$fpsim_pid"
  fpsim_pid=
}

# CPU time in clock ticks (utime + stime) of the program, all threads.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$program_pid/stat"; }
# CPU time in nanoseconds, all threads, from the scheduler's own account.
cpu_ns() { cat /proc/"$program_pid"/task/*/schedstat | awk '{s += $1} END {print s}'; }
switches() {
  cat /proc/"$program_pid"/task/*/status |
    awk '/^(non)?voluntary_ctxt_switches:/ {s += $2} END {print s}'
}
status_value() { awk -v key="$1:" '$1 == key {print $2}' "/proc/$program_pid/status"; }

idle() {
  local tool
  if tool=$(missing_x11_tool); then fail "$tool is not installed (scripts/deps.sh installs it)"; fi
  echo "== idle: the tray program left alone for $idle_seconds s (Xvfb, trayer, fpsim)"
  echo "(load average before: $(cut -d' ' -f1-3 /proc/loadavg))"
  start_x_server || fail "no X server"
  start_tray
  start_printer
  make_bridge_directory 0
  start_program
  wait_for 30 only_tray_icon || fail "the program did not settle behind its tray icon"
  # The first polling tick runs right after the pre-checks; from here on
  # the 2-second tick is all the program does.
  local requests0 ticks0 ns0 switches0 rss0 t0 requests1 ticks1 ns1 switches1 rss1 t1 hwm
  requests0=$(printer_requests)
  t0=${EPOCHREALTIME/./}
  ticks0=$(cpu_ticks) ns0=$(cpu_ns) switches0=$(switches) rss0=$(status_value VmRSS)
  sleep "$idle_seconds"
  program_running || fail "the program ended while idle"
  t1=${EPOCHREALTIME/./}
  ticks1=$(cpu_ticks) ns1=$(cpu_ns) switches1=$(switches) rss1=$(status_value VmRSS)
  hwm=$(status_value VmHWM)
  requests1=$(printer_requests)
  local hz threads
  hz=$(getconf CLK_TCK)
  threads=$(status_value Threads)
  awk -v us=$((t1 - t0)) -v ticks=$((ticks1 - ticks0)) -v hz="$hz" -v ns=$((ns1 - ns0)) \
    -v sw=$((switches1 - switches0)) -v rss0="$rss0" -v rss1="$rss1" -v hwm="$hwm" \
    -v req=$((requests1 - requests0)) -v threads="$threads" 'BEGIN {
      s = us / 1e6
      printf "  measured over %.1f s, %d threads\n", s, threads
      printf "  CPU share (utime+stime, /proc/<pid>/stat): %.3f %% (%d ticks of 1/%d s)\n",
        100 * ticks / hz / s, ticks, hz
      printf "  CPU share (scheduler, task/*/schedstat):   %.4f %% (%.1f ms)\n",
        100 * ns / 1e9 / s, ns / 1e6
      printf "  context switches: %d (%.2f a second)\n", sw, sw / s
      printf "  VmRSS: %.1f MiB at the start, %.1f MiB at the end; VmHWM %.1f MiB\n",
        rss0 / 1024, rss1 / 1024, hwm / 1024
      printf "  printer requests while idle: %d\n", req
    }'
}

case $what in
  once) once ;;
  idle) idle ;;
  all) once; idle ;;
esac
