#!/usr/bin/env bash
# Builds the media and graph tests with the thread sanitizer and runs them. Third-party libraries
# are not instrumented; scripts/tsan.supp names the few reports that come from inside them.
#   tsan.sh [build]        (with "build": builds them and stops)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-deps.sh"
"$root/scripts/build.sh" tsan media_tests platform_tests
[[ "${1:-}" == build ]] && exit 0
export QT_QPA_PLATFORM=offscreen
export SDL_AUDIODRIVER=dummy
export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp halt_on_error=1 second_deadlock_stack=1"
tests="$root/build/tsan/tests"
logs="$root/build/logs"
mkdir -p "$logs"
# Both programs run at once, each into its own log. A failing one's log is shown whole, then its
# reports and failed tests again at the very end, where a console that keeps only the tail
# shows them.
report() { # report NAME STATUS
    local log="$logs/tsan-$1.log"
    if [[ $2 -eq 0 ]]; then
        tail -n 3 "$log"
        return
    fi
    cat "$log"
    echo "== $1 tests failed under the thread sanitizer (status $2); its reports:"
    sed -n '/WARNING: ThreadSanitizer/,/^SUMMARY: ThreadSanitizer/p' "$log"
    grep -F '[  FAILED  ]' "$log" || true
}
"$tests/media/media_tests" --gtest_brief=1 >"$logs/tsan-media.log" 2>&1 &
media=$!
platform=0
# The real sound server test starts PulseAudio, whose client library is not instrumented.
"$tests/platform/platform_tests" --gtest_brief=1 --gtest_filter='-PulseSound*' \
    >"$logs/tsan-platform.log" 2>&1 || platform=$?
wait "$media" && media=0 || media=$?
report media "$media"
report platform "$platform"
exit $((media != 0 ? media : platform))
