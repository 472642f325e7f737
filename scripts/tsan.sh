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
"$tests/media/media_tests" --gtest_brief=1 &
media=$!
status=0
# The real sound server test starts PulseAudio, whose client library is not instrumented.
"$tests/platform/platform_tests" --gtest_brief=1 --gtest_filter='-PulseSound*' || status=$?
wait "$media" || status=$?
exit "$status"
