#!/usr/bin/env bash
# The real player, built to trust the test's own signing key and authority, against a loopback
# HTTPS vendor site offering a signed newer release, under a virtual X server:
#   upgrade_dialog_e2e.sh TESTBED SITE FFMPEG
# TESTBED is qor_upgrade_testbed, SITE is upgrade_test_site. The upgrade dialog opens with the
# installer downloaded; SIGTERM then ends the player with exit status 0 within 2 s, the default
# playlist saved with the clip it was started on, and the installer never run.
# Exit 77 (skipped) when Xvfb, xdotool or iconv is missing.
set -uo pipefail
testbed=$1
site=$2
ffmpeg=$3
E2E_TOOLS=iconv
source "$(dirname "$0")/e2e_lib.sh"

site_pid=""
trap '[ -n "$site_pid" ] && kill "$site_pid" 2>/dev/null; cleanup' EXIT
installer=$XDG_DATA_HOME/QOR/Temp/Installer/qor_99.0.0.exe

"$ffmpeg" -v error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=20" \
    -c:v libx264 -preset ultrafast -pix_fmt yuv420p "$work/clip.mp4" || { echo "ffmpeg failed"; exit 1; }

"$site" "$work/trust" >"$work/site.out" 2>&1 &
site_pid=$!
wait_for 10 grep -q '^127\.0\.0\.1:' "$work/site.out" || { echo "the site did not start"; exit 1; }
export QOR_VENDOR_HOST=$(head -1 "$work/site.out") QOR_TEST_TRUST_DIR=$work/trust

"$testbed" "$work/clip.mp4" >"$work/qor.out" 2>&1 &
qor_pid=$!
dialog_shown() { xdotool search --onlyvisible --name '^Zelia Media Player ' >/dev/null; }
check "the upgrade dialog opens" wait_for 30 dialog_shown
check "the signed installer waits in the Installer folder" test -f "$installer"

term_start=$(date +%s%N)
kill -TERM "$qor_pid"
ended_within 2 "$qor_pid" && ended=1 || ended=0
echo "SIGTERM to exit: $((($(date +%s%N) - term_start) / 1000000)) ms, status ${ended_status:--}"
[ $ended -eq 1 ] && qor_pid=""
check "SIGTERM ends the player within 2 s" test $ended -eq 1
check "the exit status is 0" test "${ended_status:-1}" = 0
expected_playlist "$work/expected.mpl" "$work/clip.mp4"
check "the default playlist holds the clip" cmp "$work/expected.mpl" "$playlist"
check "the installer did not run" test ! -e "$work/trust/installer-ran"
finish
