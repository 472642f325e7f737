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
# Tests held to a wall-clock or CPU limit (suites named *Timed, Qt Test programs *TimedQTest, and
# the end-to-end runs of the real program, which measure how fast it quits) run alone, after the
# others, so that nothing running beside them on the same cores can make them miss their marks.
timed='Timed(\.|QTest$)|^e2e_'
# The others mostly wait for media to play in real time, so one more than the cores keeps the
# cores busy; each waits with bounds meant for a loaded machine.
jobs=$(($(nproc) + 1))

# While one configuration's untimed tests wait on real-time playback, the next configuration
# compiles beside them at the lowest priority, so that it takes only the CPU the tests leave idle.
# It is waited for before any timed test starts; its output is shown only when it fails.
logs="$root/build/logs"
mkdir -p "$logs"
build_pid=
build_log=
start_build() { # NAME COMMAND...
    build_log="$logs/${1// /-}-build.log"
    step "$1 build (beside the tests)"
    shift
    (
        renice -n 19 -p "$BASHPID" >/dev/null
        "$@"
    ) >"$build_log" 2>&1 &
    build_pid=$!
}
join_build() {
    if ! wait "$build_pid"; then
        cat "$build_log"
        echo "== build failed: $build_log"
        exit 1
    fi
    step "build done"
}
untimed_tests() { # CONFIG
    step "$1 tests"
    ctest --test-dir "$root/build/$1" --output-on-failure -j "$jobs" --timeout 300 -E "$timed"
}
timed_tests() { # CONFIG
    step "$1 timed tests"
    ctest --test-dir "$root/build/$1" --output-on-failure --timeout 300 -R "$timed"
}
build_later_checkers() {
    "$root/scripts/tsan.sh" build && "$root/scripts/fuzz.sh" build
}

step "release build"
"$root/scripts/build.sh" release
start_build asan "$root/scripts/build.sh" asan
untimed_tests release
join_build
timed_tests release
# The thread sanitizer's and the fuzz targets' builds.
start_build "tsan and fuzz" build_later_checkers
untimed_tests asan
join_build
timed_tests asan
step "thread sanitizer"
# The media and graph tests again under the thread sanitizer.
"$root/scripts/tsan.sh"
step "fuzz replay"
# Every fuzz target once over its seeds and the inputs that once failed.
"$root/scripts/fuzz.sh" 0
step done
