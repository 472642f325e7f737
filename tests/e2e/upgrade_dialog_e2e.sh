#!/usr/bin/env bash
# The real player, built to trust the test's own signing key and authority, against a loopback
# HTTPS vendor site offering a signed newer release, under a virtual X server on display :21:
#   upgrade_dialog_e2e.sh TESTBED SITE FFMPEG
# TESTBED is qor_upgrade_testbed, SITE is upgrade_test_site. The upgrade dialog opens with the
# installer downloaded; SIGTERM then ends the player with exit status 0 within 2 s, the default
# playlist saved with the clip it was started on, and the installer never run.
# Exit 77 (skipped) when Xvfb or xdotool is missing.
set -uo pipefail
testbed=$1
site=$2
ffmpeg=$3
for tool in Xvfb xdotool iconv; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
readonly display=:21

work=$(mktemp -d /tmp/qor_upgrade_e2e.XXXXXX)
xvfb_pid=""
site_pid=""
qor_pid=""
cleanup() {
    [ -n "$qor_pid" ] && kill -KILL "$qor_pid" 2>/dev/null
    [ -n "$site_pid" ] && kill "$site_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/e2e_checks.sh"

[ -e "/tmp/.X${display#:}-lock" ] && { echo "display $display is taken"; exit 1; }
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
wait_for 10 xdotool getdisplaygeometry >/dev/null || { echo "Xvfb did not start"; exit 1; }

export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config
export XDG_RUNTIME_DIR=$work/runtime TMPDIR=$work/tmp SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
unset QT_QPA_PLATFORM
mkdir -p "$HOME" "$TMPDIR" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
installer=$XDG_DATA_HOME/QOR/Temp/Installer/qor_99.0.0.exe
playlist=$XDG_DATA_HOME/QOR/Playlists/__default.mpl

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
kill -TERM $qor_pid
ended=0
deadline=$(($(date +%s%N) + 2000000000))
while [ "$(date +%s%N)" -lt $deadline ]; do
    kill -0 $qor_pid 2>/dev/null || { ended=1; break; }
    sleep 0.02
done
status=-1
if [ $ended -eq 1 ]; then
    wait $qor_pid
    status=$?
    qor_pid=""
fi
echo "SIGTERM to exit: $((($(date +%s%N) - term_start) / 1000000)) ms, status $status"
check "SIGTERM ends the player within 2 s" test $ended -eq 1
check "the exit status is 0" test "$status" -eq 0
expected=$work/expected.mpl
{ printf '\xff\xfe'; printf '%s\r\n' "$work/clip.mp4" | iconv -f UTF-8 -t UTF-16LE; } >"$expected"
check "the default playlist holds the clip" cmp "$expected" "$playlist"
check "the installer did not run" test ! -e "$work/trust/installer-ran"

[ $failures -eq 0 ] || { echo "$failures check(s) failed; player output:"; tail -40 "$work/qor.out"; exit 1; }
echo "all checks passed"
