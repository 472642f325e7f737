#!/usr/bin/env bash
# Installs what is missing, checks the formatting, then builds and tests the normal and the
# sanitizer configuration, and replays the fuzz targets' inputs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Each step is announced with the seconds since the start, so a slow run shows where its time went.
step() { echo "== $* (at ${SECONDS} s)"; }
step packages
"$root/scripts/setup-deps.sh"
step format
"$root/scripts/check-format.sh"
export QT_QPA_PLATFORM=offscreen
export SDL_AUDIODRIVER=dummy
# Tests held to a wall-clock or CPU limit (suites named *Timed, Qt Test programs *TimedQTest) run
# alone, after the others, so that a test running beside them on the same cores cannot make them
# miss their marks.
timed='Timed(\.|QTest$)'
# The others mostly wait for media to play in real time, so one more than the cores keeps the
# cores busy; each waits with bounds meant for a loaded machine.
jobs=$(($(nproc) + 1))
for config in release asan; do
    step "$config build"
    "$root/scripts/build.sh" "$config"
    step "$config tests"
    ctest --test-dir "$root/build/$config" --output-on-failure -j "$jobs" --timeout 300 \
        -E "$timed"
    step "$config timed tests"
    ctest --test-dir "$root/build/$config" --output-on-failure --timeout 300 -R "$timed"
done
step "thread sanitizer"
# The media and graph tests again under the thread sanitizer.
"$root/scripts/tsan.sh"
step "fuzz replay"
# Every fuzz target once over its seeds and the inputs that once failed.
"$root/scripts/fuzz.sh" 0
step done
