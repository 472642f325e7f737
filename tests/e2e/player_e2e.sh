#!/usr/bin/env bash
# The real player under a virtual X server, driven as a user would drive it:
#   player_e2e.sh QOR_BINARY FFMPEG
# Two generated clips on the command line: start-up logs "QOR initialized." and the last clip
# plays; Space, Left, Right, Down, Up, Enter, Esc and Page Down do what they should; a second
# start's file is appended to the first and plays there; SIGTERM saves the default playlist byte
# for byte within 2 s; a start after SIGKILL works; the next start shows the same rows.
#
# What is observed: the log (start-up lines, the files loaded), the window's geometry (xdotool),
# and the knobs of the seek and volume sliders found in screenshots (the knob is the only bright
# part of a slider's track).
# Exit 77 (skipped) when Xvfb, xdotool or ImageMagick is missing.
set -uo pipefail
qor=$1
ffmpeg=$2
E2E_TOOLS="import convert"
# shellcheck source=e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

# Window rows of the slider centres, from the bottom edge (the window's control table), and the
# thumb's width; a knob moves over the track's width less the thumb.
readonly kSeekRowFromBottom=34 kSeekLeft=5 kSeekRightMargin=5
readonly kVolumeRowFromBottom=14 kVolumeLeft=206 kVolumeWidth=50 kThumb=12
readonly kClipSeconds=40

make_clip first.mp4 5 && make_clip second.mp4 "$kClipSeconds" && make_clip third.mp4 2 ||
    { echo "ffmpeg failed"; exit 1; }

shot() { import -window "$window" "$work/shot.png" 2>/dev/null; }

# The centre column of the bright pixels in one row of the last screenshot between two columns.
knob_x() { # knob_x ROW_FROM_BOTTOM LEFT WIDTH
    local height
    height=$(convert "$work/shot.png" -format '%h' info:)
    convert "$work/shot.png" -crop "$3x1+$2+$((height - $1))" +repage -colorspace gray txt:- |
        awk -F'[,:() ]+' 'NR > 1 && $4 > 150 { sum += $1; n++ } END { if (n) printf "%.1f\n", sum / n + '"$2"'; else print -1 }'
}

# Position of a slider's knob as a fraction 0..1 of its travel.
seek_fraction() {
    local width
    shot
    width=$(convert "$work/shot.png" -format '%w' info:)
    local track=$((width - kSeekLeft - kSeekRightMargin))
    awk -v x="$(knob_x $kSeekRowFromBottom $kSeekLeft $track)" -v l=$kSeekLeft -v w=$track -v t=$kThumb \
        'BEGIN { printf "%.3f\n", (x - l - t / 2) / (w - t) }'
}
volume_fraction() {
    shot
    awk -v x="$(knob_x $kVolumeRowFromBottom $kVolumeLeft $kVolumeWidth)" -v l=$kVolumeLeft \
        -v w=$kVolumeWidth -v t=$kThumb 'BEGIN { printf "%.3f\n", (x - l - t / 2) / (w - t) }'
}

# awk comparisons of fractions: fraction_between VALUE LOW HIGH
between() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v <= hi) }'; }
loads_of() { grep -c "CVeltoSource::Load: Try loading file: $work/$1" "$log"; }
playing_past() { between "$(seek_fraction)" 0.04 1; }
press() { xdotool windowfocus --sync "$window" 2>/dev/null; xdotool key "$@"; }
geometry() { xdotool getwindowgeometry "$window" | awk '/Position|Geometry/ { printf "%s ", $2 } END { print "" }'; }

# 1. Start with two clips: initialised, the last one plays.
check "started with two clips, logs QOR initialized." start_qor "$work/first.mp4" "$work/second.mp4"
check "the log names the version line first" grep -q "CQorApp::InitInstance: QOR(.*) initializing..." "$log"
check "the last clip is loaded, the first is not" test "$(wait_for 5 grep -q second.mp4 "$log"; loads_of second.mp4)/$(loads_of first.mp4)" = 1/0
wait_for 8 playing_past
p1=$(seek_fraction); sleep 1.5; p2=$(seek_fraction)
check "the position advances while playing ($p1 -> $p2)" awk -v a="$p1" -v b="$p2" 'BEGIN { exit !(b - a > 0.02) }'

# 2. Space pauses and plays on.
press space; sleep 0.5
p1=$(seek_fraction); sleep 1.5; p2=$(seek_fraction)
check "Space pauses: the position holds ($p1 -> $p2)" awk -v a="$p1" -v b="$p2" 'BEGIN { exit !(b == a) }'
press space; sleep 1.5; p3=$(seek_fraction)
check "Space again plays on ($p2 -> $p3)" awk -v a="$p2" -v b="$p3" 'BEGIN { exit !(b - a > 0.02) }'

# 3. Right and Left seek 10 s of the 40 s clip: a quarter of the track each way.
p1=$(seek_fraction); press Right; sleep 0.7; p2=$(seek_fraction)
check "Right seeks 10 s forward ($p1 -> $p2)" awk -v a="$p1" -v b="$p2" 'BEGIN { d = b - a; exit !(d > 0.2 && d < 0.32) }'
press Left; sleep 0.7; p3=$(seek_fraction)
check "Left seeks 10 s back ($p2 -> $p3)" awk -v a="$p2" -v b="$p3" 'BEGIN { d = a - b; exit !(d > 0.18 && d < 0.3) }'

# 4. Down and Up move the volume by 5 each: three presses are 15 of the slider's 100.
v1=$(volume_fraction); press Down Down Down; sleep 0.3; v2=$(volume_fraction)
check "Down lowers the volume by 15 in three presses ($v1 -> $v2)" awk -v a="$v1" -v b="$v2" 'BEGIN { d = a - b; exit !(d > 0.1 && d < 0.2) }'
press Up Up Up; sleep 0.3; v3=$(volume_fraction)
check "Up raises it back ($v2 -> $v3)" awk -v a="$v1" -v b="$v3" 'BEGIN { d = a - b; exit !(d > -0.03 && d < 0.03) }'

# 5. Enter toggles full screen over the whole screen; Esc leaves it.
normal=$(geometry)
press Return; sleep 0.7
check "Enter fills the screen ($(geometry))" test "$(geometry)" = "0,0 1280x800 "
check "the toggle is logged" grep -q "CMainWnd::ToggleFullScreen: Toggle to fullscreen: 1" "$log"
press Escape; sleep 0.7
check "Esc restores the window ($normal)" test "$(geometry)" = "$normal"

# 6. Page Down moves on: from the last row the loop comes round to the first.
press Next
check "Page Down plays the next row" wait_for 5 grep -q "Try loading file: $work/first.mp4" "$log"

# 7. A second start: the first appends its file, plays it and comes forward; the second exits.
"$qor" "$work/third.mp4" >>"$work/qor.out" 2>&1 &
second=$!
check "a second start exits at once" ended_within 5 $second
check "the first instance brought its window forward" grep -q "CInstanceChecker::OnNewConnection: another start: main window brought forward" "$log"
check "the first instance plays the second start's file" wait_for 5 grep -q "Try loading file: $work/third.mp4" "$log"

# 8. SIGTERM: the default playlist, byte for byte, within 2 s.
expected=$work/expected.mpl
expected_playlist "$expected" "$work/first.mp4" "$work/second.mp4" "$work/third.mp4"
term_start=$(date +%s%N)
kill -TERM $qor_pid
check "SIGTERM ends the player within 2 s" ended_within 2 $qor_pid
echo "SIGTERM to exit: $((($(date +%s%N) - term_start) / 1000000)) ms"
check "the default playlist holds the three rows, byte for byte" cmp "$expected" "$playlist"

# 9. A start after SIGKILL, then the rows come back.
check "a start with no file" start_qor
kill -KILL $qor_pid; wait $qor_pid 2>/dev/null
check "a start after SIGKILL works" start_qor
rm -f "$playlist"
kill -TERM $qor_pid
ended_within 2 $qor_pid
qor_pid=""
check "the next exit saves the same rows, so the start showed them" cmp "$expected" "$playlist"

finish
