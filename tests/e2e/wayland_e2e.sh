#!/usr/bin/env bash
# The real player under a Wayland compositor (weston), on a one-colour desktop so that every
# screenshot shows where the compositor put the window:
#   wayland_e2e.sh QOR_BINARY FFMPEG
# 1. Weston's headless backend (1920 x 1080, no input devices): the player shows its window at
#    half the output's size and its first picture; SIGTERM ends it with status 0 within 2 s, the
#    default playlist saved.
# 2. Weston's X11 backend in the virtual X server, whose pointer and keys xdotool drives: a drag
#    on the video moves the window by the drag; a drag on the bottom-right corner resizes it;
#    Enter makes it cover the output; the pointer at the bottom edge shows the toolbar inside the
#    window across its bottom; Escape gives back the window's place and size from before; Stay
#    on Top, chosen twice, leaves the window as it is and logs one line; SIGTERM ends it with
#    status 0 within 2 s.
# The exit times are printed. With QOR_SCREENSHOT_DIR set the screenshots are kept there; with
# QT_SCALE_FACTOR=2 the player draws at twice the size and the same checks hold.
# QOR_E2E_WAYLAND_SOCKET names the compositors' sockets (in the test's own runtime folder).
# Exit 77 (skipped) when Xvfb, xdotool, weston, weston-screenshooter or ImageMagick is missing.
set -uo pipefail
qor=$1
ffmpeg=$2
E2E_TOOLS="weston weston-screenshooter convert"
# shellcheck source=e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

readonly kSocket=${QOR_E2E_WAYLAND_SOCKET:-wayland-qor-e2e}
readonly kDesktop='#204060'
# The X11 backend's output, inside the virtual X server's 1280 x 800.
readonly kOutputWidth=1024 kOutputHeight=768
# A drag on the video and on the corner (inwards, as the window is at the output's right edge by
# then): how far.
# The player's log counts in Qt's pixels: the compositor's divided by a whole QT_SCALE_FACTOR.
readonly kScale=${QT_SCALE_FACTOR:-1}
readonly kMoveX=120 kMoveY=60 kResizeX=-100 kResizeY=-50

weston_pid=""
stop_weston() {
    [ -n "$qor_pid" ] && kill -KILL "$qor_pid" 2>/dev/null
    qor_pid=""
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
    weston_pid=""
}
trap 'stop_weston; cleanup' EXIT

shots=$work/shots
mkdir -p "$shots"
cat >"$work/weston.ini" <<EOF
[core]
idle-time=0
[shell]
background-color=0xff${kDesktop#\#}
panel-position=none
EOF

start_weston() { # start_weston BACKEND SOCKET OPTION...: --debug lets the screenshooter in
    weston --backend="$1" --socket="$2" --config="$work/weston.ini" --debug "${@:3}" \
        --log="$work/weston-$2.log" >>"$work/weston.out" 2>&1 &
    weston_pid=$!
    wait_for 10 test -S "$XDG_RUNTIME_DIR/$2"
}

# The player on the compositor, waiting for its first picture.
start_on_wayland() { # start_on_wayland SOCKET ARGS...
    rm -f "$log"
    QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=$1 "$qor" "${@:2}" >>"$work/qor.out" 2>&1 &
    qor_pid=$!
    wait_for 15 grep -q "first frame painted" "$log"
}

# The compositor's picture of its output, as shots/NAME.png.
screenshot() { # screenshot SOCKET NAME
    rm -f "$shots"/wayland-screenshot-*.png
    (cd "$shots" && WAYLAND_DISPLAY=$1 weston-screenshooter) &&
        mv "$shots"/wayland-screenshot-*.png "$shots/$2.png"
}
# What in the picture is not desktop: "WxH+X+Y".
window_box() { convert "$shots/$1.png" -format '%@' info:; }
# The share of the picture's pixels that show the desktop.
desktop_share() {
    convert "$shots/$1.png" -fill black +opaque "$kDesktop" -fill white -opaque "$kDesktop" \
        -format '%[fx:mean]' info:
}
# The output's bottom 40 lines are the toolbar's panel grey, RGB(65, 65, 65), on average.
bottom_band_grey() { # bottom_band_grey NAME
    local mean
    mean=$(convert "$shots/$1.png" -crop "${kOutputWidth}x40+0+$((kOutputHeight - 40))" +repage \
        -colorspace Gray -format '%[fx:round(mean*255)]' info:)
    [ "$mean" -ge 55 ] && [ "$mean" -le 80 ]
}
box_part() { # box_part BOX w|h|x|y
    local -a v
    IFS='x+' read -ra v <<<"$1"
    case $2 in w) echo "${v[0]}" ;; h) echo "${v[1]}" ;; x) echo "${v[2]}" ;; y) echo "${v[3]}" ;; esac
}
near() { [ $(($1 - $2)) -le "$3" ] && [ $(($2 - $1)) -le "$3" ]; }

sigterm_and_check() { # sigterm_and_check WHAT
    local start
    start=$(date +%s%N)
    kill -TERM "$qor_pid"
    check "$1: SIGTERM ends the player within 2 s" ended_within 2 "$qor_pid"
    echo "$1: SIGTERM to exit $((($(date +%s%N) - start) / 1000000)) ms, status ${ended_status:-none}"
    check "$1: exit status 0" test "${ended_status:-none}" = 0
    check "$1: the default playlist is saved" cmp "$work/one.mpl" "$playlist"
    qor_pid=""
}

make_clip clip.mp4 30 || { echo "ffmpeg failed"; exit 1; }
expected_playlist "$work/one.mpl" "$work/clip.mp4"

# 1. Headless.
check "headless weston starts" start_weston headless-backend.so "$kSocket-headless" \
    --width=1920 --height=1080 --use-pixman
check "headless: the player paints its first picture" start_on_wayland "$kSocket-headless" \
    "$work/clip.mp4"
sleep 0.5
check "headless: screenshot" screenshot "$kSocket-headless" headless
box=$(window_box headless)
echo "headless: window $box"
check "headless: the window is half the output" test "$(box_part "$box" w)x$(box_part "$box" h)" = 960x540
sigterm_and_check headless
stop_weston

# 2. The X11 backend, for the pointer and the keys.
rm -f "$playlist"
check "weston on X starts" start_weston x11-backend.so "$kSocket-x11" \
    --width=$kOutputWidth --height=$kOutputHeight --use-pixman
check "weston's output window is up" wait_for 5 xdotool search --class weston
output=$(xdotool search --class weston | head -1)
read -r ox oy < <(xdotool getwindowgeometry "$output" | awk -F'[ ,]+' '/Position/ { print $3, $4 }')
# The pointer at a point of the compositor's output.
point() { xdotool mousemove $((ox + $1)) $((oy + $2)); }
drag() { # drag FROM_X FROM_Y DX DY, in steps, as a hand would
    local i
    point "$1" "$2"
    sleep 0.2
    xdotool mousedown 1
    for i in 1 2 3 4 5 6 7 8 9 10; do
        point $(($1 + $3 * i / 10)) $(($2 + $4 * i / 10))
        sleep 0.03
    done
    xdotool mouseup 1
    sleep 0.5
}
# The pointer rests inside the window, where its picture hides nothing of the window's outline.
shot_x11() { # shot_x11 NAME CENTRE_X CENTRE_Y
    point "$2" "$3"
    sleep 0.4
    screenshot "$kSocket-x11" "$1"
}
centre_of() { echo $(($(box_part "$1" x) + $(box_part "$1" w) / 2)) $(($(box_part "$1" y) + $(box_part "$1" h) / 2)); }

check "X11 backend: the player paints its first picture" start_on_wayland "$kSocket-x11" "$work/clip.mp4"
sleep 0.5
# Off the output, so that the compositor draws no pointer.
point $((kOutputWidth + 20)) $((kOutputHeight + 20))
sleep 0.3
screenshot "$kSocket-x11" x11-start
start_box=$(window_box x11-start)
echo "x11: window at start $start_box"
check "x11: the window is half the output" \
    test "$(box_part "$start_box" w)x$(box_part "$start_box" h)" = $((kOutputWidth / 2))x$((kOutputHeight / 2))
x=$(box_part "$start_box" x) y=$(box_part "$start_box" y)
w=$(box_part "$start_box" w) h=$(box_part "$start_box" h)

drag $((x + 100)) $((y + 100)) $kMoveX $kMoveY
shot_x11 x11-moved $((x + w / 2 + kMoveX)) $((y + h / 2 + kMoveY))
moved_box=$(window_box x11-moved)
echo "x11: window after the drag on the video $moved_box"
check "x11: a drag on the video moves the window by the drag" \
    test "$moved_box" = "${w}x${h}+$((x + kMoveX))+$((y + kMoveY))"

x=$((x + kMoveX)) y=$((y + kMoveY))
drag $((x + w - 3)) $((y + h - 3)) $kResizeX $kResizeY
shot_x11 x11-resized $((x + w / 2)) $((y + h / 2))
normal_box=$(window_box x11-resized)
echo "x11: window after the drag on its corner $normal_box"
resized_in_place() {
    near "$(box_part "$normal_box" w)" $((w + kResizeX)) 8 &&
        near "$(box_part "$normal_box" h)" $((h + kResizeY)) 8 &&
        test "$(box_part "$normal_box" x)+$(box_part "$normal_box" y)" = "$x+$y"
}
check "x11: a drag on the corner resizes the window, its place kept" resized_in_place

read -r cx cy < <(centre_of "$normal_box")
point "$cx" "$cy"
xdotool key Return
check "x11: Enter toggles full screen" wait_for 5 grep -q "Toggle to fullscreen: 1" "$log"
sleep 1
shot_x11 x11-fullscreen $((kOutputWidth / 2)) $((kOutputHeight / 2))
check "x11: full screen covers the output" test "$(desktop_share x11-fullscreen)" = 0

point $((kOutputWidth / 2)) $((kOutputHeight - 60))
sleep 0.2
point $((kOutputWidth / 2)) $((kOutputHeight - 1))
check "x11: the pointer at the bottom edge shows the toolbar across the window's bottom" \
    wait_for 3 grep -q "toolbar shown in the window at 0,$((kOutputHeight / kScale - 40)) $((kOutputWidth / kScale))x40" "$log"
sleep 0.5
screenshot "$kSocket-x11" x11-toolbar
check "x11: the output's bottom 40 lines show the toolbar's grey panel" bottom_band_grey x11-toolbar

point "$cx" "$cy"
xdotool key Escape
sleep 1
shot_x11 x11-normal-again "$cx" "$cy"
again_box=$(window_box x11-normal-again)
echo "x11: window after full screen $again_box"
check "x11: leaving full screen gives back the place and size from before" \
    test "$again_box" = "$normal_box"

# Stay on Top, twice, by the main menu of a right click on the video and its mnemonic.
for _ in 1 2; do
    point $(($(box_part "$normal_box" x) + 20)) "$cy"
    xdotool click 3
    sleep 0.6
    xdotool key t
    sleep 0.4
done
shot_x11 x11-on-top-twice "$cx" "$cy"
check "x11: Stay on Top leaves the window as it was" test "$(window_box x11-on-top-twice)" = "$normal_box"
check "x11: Stay on Top logs one line" \
    test "$(grep -c 'stay on top is left to the compositor' "$log")" = 1
check "x11: nothing on the player's output but log lines" \
    test -z "$(grep -v '^[0-9][0-9]:[0-9][0-9]:' "$work/qor.out")"
sigterm_and_check x11

if [ -n "${QOR_SCREENSHOT_DIR:-}" ]; then
    mkdir -p "$QOR_SCREENSHOT_DIR" && cp "$shots"/*.png "$QOR_SCREENSHOT_DIR/"
fi
finish
