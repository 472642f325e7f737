#!/usr/bin/env bash
# Quit signals to the real player under a virtual X server, whatever it has open:
#   quit_e2e.sh QOR_BINARY FFMPEG
# 1. With the file dialog (the Open Files button), the about dialog (the main menu's Help, About)
#    and the media information dialog (the main menu's Media Info) open, SIGTERM ends the player
#    with status 0 within 2 s, and the default playlist holds the two clips given on the command
#    line, byte for byte.
# 2. Two SIGTERMs 10 ms apart (what `timeout` and a signal to the process group deliver), five
#    starts in a row on a clip with a subtitle beside it, two SIGINTs likewise, and `timeout`
#    itself: each ends with status 0 within 2 s, the playlist saved. Each start appends the clip
#    to the rows the last one saved, so every run shows that its predecessor saved.
# The exit times are printed. Exit 77 (skipped) when Xvfb or xdotool is missing.
set -uo pipefail
qor=$1
ffmpeg=$2
# shellcheck source=e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

# The Open Files button's centre, from the window's left and bottom edges; a point on the video.
readonly kOpenButtonX=29 kOpenButtonFromBottom=14 kVideoX=100 kVideoY=100
readonly kDoubleSignalRuns=5
# `timeout`'s period: start-up and the first picture come well before it.
readonly kTimeoutSeconds=6

make_clip first.mp4 30 && make_clip second.mp4 30 && make_clip subtitled.mp4 30 ||
    { echo "ffmpeg failed"; exit 1; }
printf '1\r\n00:00:00,000 --> 00:00:30,000\r\nA subtitle beside the clip\r\n' >"$work/subtitled.srt"

playing() { grep -q "Try loading file: $1" "$log"; }
dialog_up() { xdotool search --onlyvisible --name "$1" >/dev/null; }

# Sends the signals (one, or two 10 ms apart) and checks the end: status 0 within 2 s and the
# playlist, byte for byte. Prints the time from the first signal to the end.
signal_and_check() { # signal_and_check WHAT EXPECTED_PLAYLIST SIGNAL...
    local what=$1 expected=$2 start
    start=$(date +%s%N)
    kill -"$3" "$qor_pid"
    if [ $# -gt 3 ]; then
        sleep 0.01
        kill -"$4" "$qor_pid"
    fi
    check "$what: the player ends within 2 s" ended_within 2 "$qor_pid"
    echo "$what: signal to exit $((($(date +%s%N) - start) / 1000000)) ms, status ${ended_status:-none}"
    check "$what: exit status 0" test "${ended_status:-none}" = 0
    check "$what: the default playlist is saved" cmp "$expected" "$playlist"
    qor_pid=""
}

# 1. One dialog at a time, each in a player started afresh on the two clips.
expected=$work/two.mpl
expected_playlist "$expected" "$work/first.mp4" "$work/second.mp4"
open_file_dialog() {
    local height
    height=$(xdotool getwindowgeometry "$window" | awk -F'[x ]' '/Geometry/ { print $NF }')
    xdotool mousemove --window "$window" $kOpenButtonX $((height - kOpenButtonFromBottom)) click 1
}
main_menu() { # main_menu KEY...: a right click on the video, then the mnemonic keys
    xdotool mousemove --window "$window" $kVideoX $kVideoY click 3
    sleep 0.5
    xdotool key "$@"
}
for dialog in "file dialog|^Open|open_file_dialog" \
    "about dialog|^Zelia Media Player [0-9]|main_menu h o" \
    "media information dialog|^Media Infomation|main_menu i"; do
    IFS='|' read -r what title open <<<"$dialog"
    rm -f "$playlist"
    check "$what: started with two clips" start_qor "$work/first.mp4" "$work/second.mp4"
    wait_for 10 playing "$work/second.mp4"
    xdotool windowfocus --sync "$window" 2>/dev/null
    $open
    check "$what: it is open" wait_for 5 dialog_up "$title"
    signal_and_check "$what open, SIGTERM" "$expected" TERM
done

# 2. Repeated signals at once, the clip's rows growing by one a start.
rows=()
run() { # run WHAT SIGNAL SIGNAL: a start, the clip playing, then the signals
    rows+=("$work/subtitled.mp4")
    expected_playlist "$work/rows.mpl" "${rows[@]}"
    check "$1: started on the subtitled clip" start_qor "$work/subtitled.mp4"
    check "$1: the clip plays" wait_for 10 playing "$work/subtitled.mp4"
    signal_and_check "$1" "$work/rows.mpl" "$2" "$3"
}
rm -f "$playlist"
for i in $(seq 1 $kDoubleSignalRuns); do
    run "run $i, two SIGTERMs 10 ms apart" TERM TERM
done
run "two SIGINTs 10 ms apart" INT INT

rows+=("$work/subtitled.mp4")
expected_playlist "$work/rows.mpl" "${rows[@]}"
E2E_LAUNCHER="timeout --preserve-status $kTimeoutSeconds" start_qor "$work/subtitled.mp4"
check "timeout $kTimeoutSeconds qor: ends with status 0" ended_within $((kTimeoutSeconds + 2)) "$qor_pid"
check "timeout $kTimeoutSeconds qor: exit status 0 (${ended_status:-none})" test "${ended_status:-none}" = 0
check "timeout $kTimeoutSeconds qor: the default playlist is saved" cmp "$work/rows.mpl" "$playlist"
qor_pid=""

finish
