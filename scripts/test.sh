#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole
# CTest suite. The exit status is the suite's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
# The optimised build must be free of warnings too: g++ finds other things
# once it inlines. It is only compiled here; the tests run in the sanitized build.
release="$root/build/release"
cmake -S "$root" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTAR_WERROR=ON
cmake --build "$release"

build="$root/build/test"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVELTAR_SANITIZE=ON -DVELTAR_WERROR=ON -DVELTAR_BENCH=OFF
cmake --build "$build"
# Any sanitizer report ends the process with an error, so a finding fails its test.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cd "$build"
ctest --output-on-failure --timeout 300 -j2 "$@"
