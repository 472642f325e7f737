#!/usr/bin/env bash
# Plays a 1080p30 H.264 + AAC clip for 30 s in qor and in mpv, both in one Xvfb server (1920 x
# 1080, display below 10 so that both use shared memory with it), rounds interleaved, twice:
#   window:      qor's default window; mpv's window fitted to qor's picture size, so that both
#                scale the picture to the same size on screen;
#   full screen: both players full screen.
# For each run: CPU seconds per media second of the player plus the X server's own CPU, peak
# memory and frames dropped; then each player paused for 20 s, CPU per cent of one core; then
# the ratios and the goals.
#   bench/playback_bench.sh [BUILD_DIR] [ROUNDS]   (default build/release, 2 rounds)
# BENCH_DISPLAY picks the X display number (default: the first free one below 10).
set -euo pipefail

PLAY_SECONDS=30
PAUSE_SECONDS=20
# Start-up (opening the file, the first frames) is left out of the paused measurement.
PAUSE_SETTLE_SECONDS=3
# How long a player may take to show its first picture before the run counts as failed.
FIRST_FRAME_TIMEOUT_SECONDS=20
# The goals, qor over mpv.
WINDOW_GOAL=0.80
FULL_SCREEN_GOAL=0.90
PAUSED_GOAL_PERCENT=0.10
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/release}" && pwd)
ROUNDS=${2:-2}
QOR=$BUILD/player/qor
WORK=$BUILD/bench/playback
CLIP=$WORK/clip_1080p30_h264_aac_35s.mp4
HZ=$(getconf CLK_TCK)

if [ ! -x "$QOR" ]; then
    echo "no $QOR: build the qor target first" >&2
    exit 1
fi
# The peer player and the tools are measuring tools, not dependencies of the player.
missing=()
command -v mpv >/dev/null 2>&1 || missing+=(mpv)
[ -x /usr/bin/time ] || missing+=(time)
command -v Xvfb >/dev/null 2>&1 || missing+=(xvfb)
command -v xdotool >/dev/null 2>&1 || missing+=(xdotool)
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing ${missing[*]}"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

mkdir -p "$WORK"
rm -f "$WORK"/*.run "$WORK"/*.paused
if [ ! -f "$CLIP" ]; then
    echo "making $CLIP"
    ffmpeg -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=35 \
        -f lavfi -i sine=frequency=440:sample_rate=48000:duration=35 \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 60 -c:a aac -b:a 128k -shortest \
        "$CLIP.part.mp4"
    mv "$CLIP.part.mp4" "$CLIP"
fi

. "$(dirname "$0")/xvfb.sh"
start_xvfb "${BENCH_DISPLAY:-}"
# qor's upgrade check asks a closed local port instead of the vendor's site.
export QOR_VENDOR_HOST=127.0.0.1:9
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.05; done

# CPU clock ticks a process has used so far (user + system).
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

MPV=(mpv --no-config --hwdec=no --vo=x11 --ao=null --really-quiet --script="$ROOT/bench/mpv_drops.lua")

# Every qor run gets a home of its own (absolute paths), so no playlist is restored, no other
# instance is found and nothing of the user's is touched.
QOR_HOME=""
new_qor_home() {
    QOR_HOME=$(mktemp -d "$WORK/home.XXXXXX")
    mkdir -p "$QOR_HOME/data" "$QOR_HOME/config" "$QOR_HOME/cache"
}
qor_env=()
new_qor_env() {
    qor_env=(env HOME="$QOR_HOME" XDG_DATA_HOME="$QOR_HOME/data" XDG_CONFIG_HOME="$QOR_HOME/config"
        XDG_CACHE_HOME="$QOR_HOME/cache" TMPDIR="$QOR_HOME" XDG_RUNTIME_DIR="$QOR_HOME")
}
# The process id of the one child of a process, once it exists.
child_of() {
    local child="" i
    for i in $(seq 100); do
        child=$(pgrep -P "$1" | head -1 || true)
        [ -n "$child" ] && break
        sleep 0.02
    done
    echo "$child"
}
qor_log() { echo "$QOR_HOME/data/QOR/Temp/qor.log"; }

# Waits for qor's first painted frame; prints its window id, or nothing on a timeout.
qor_window() {
    local pid=$1 i
    for i in $(seq $((FIRST_FRAME_TIMEOUT_SECONDS * 20))); do
        if grep -q "first frame painted," "$(qor_log)" 2>/dev/null; then
            xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1 || true
            return
        fi
        sleep 0.05
    done
}

# The picture size qor painted first, "W H", from its log.
qor_picture_size() {
    grep -m1 -o -E "first frame painted, [0-9]+ x [0-9]+" "$(qor_log)" | awk '{print $4, $6}' ||
        true
}

# play_qor MODE ROUND: plays PLAY_SECONDS after the first picture (MODE window or full) and
# leaves "cpu_s rss_kib dropped xvfb_s" in qor.MODE.ROUND.run.
play_qor() {
    local mode=$1 round=$2
    new_qor_home
    local x0 timer pid window
    x0=$(ticks "$XVFB")
    new_qor_env
    /usr/bin/time -f '%U %S %M' -o "$WORK/qor.time" "${qor_env[@]}" "$QOR" "$CLIP" \
        >"$WORK/qor.out" 2>&1 &
    timer=$!
    pid=$(child_of "$timer")
    window=$(qor_window "$pid")
    [ -n "$window" ] || echo "qor showed no picture in $FIRST_FRAME_TIMEOUT_SECONDS s" >&2
    if [ "$mode" = full ] && [ -n "$window" ]; then
        xdotool key --window "$window" Return
    fi
    sleep "$PLAY_SECONDS"
    if [ "$mode" = window ]; then
        qor_picture_size >"$WORK/qor.size"
    fi
    kill -TERM "$pid" 2>/dev/null || true
    wait "$timer" 2>/dev/null || true
    local x1 dropped
    x1=$(ticks "$XVFB")
    dropped=$(grep -o -E 'CVideoRenderer::[A-Za-z]+: frames presented: [0-9]+, dropped: [0-9]+' \
        "$(qor_log)" | head -1 | grep -o -E '[0-9]+$' || echo '?')
    awk -v x=$((x1 - x0)) -v hz="$HZ" -v d="$dropped" \
        '{printf "%.3f %d %s %.3f\n", $1 + $2, $3, d, x / hz}' "$WORK/qor.time" \
        >"$WORK/qor.$mode.$round.run"
    rm -rf "$QOR_HOME"
}

# play_mpv MODE ROUND OPTION...: the same for mpv, which ends itself after PLAY_SECONDS.
play_mpv() {
    local mode=$1 round=$2
    shift 2
    local x0 x1 dropped
    x0=$(ticks "$XVFB")
    /usr/bin/time -f '%U %S %M' -o "$WORK/mpv.time" "${MPV[@]}" "$@" --length="$PLAY_SECONDS" \
        "$CLIP" >"$WORK/mpv.out" 2>&1 || true
    x1=$(ticks "$XVFB")
    dropped=$(grep -o -E 'dropped:? [0-9]+' "$WORK/mpv.out" | tail -1 | grep -o -E '[0-9]+$' || echo '?')
    awk -v x=$((x1 - x0)) -v hz="$HZ" -v d="$dropped" \
        '{printf "%.3f %d %s %.3f\n", $1 + $2, $3, d, x / hz}' "$WORK/mpv.time" \
        >"$WORK/mpv.$mode.$round.run"
}

# measure_paused PID NAME ROUND: CPU per cent of one core of the paused player and of the X
# server over PAUSE_SECONDS, after the settling time.
measure_paused() {
    local pid=$1 name=$2 round=$3
    sleep "$PAUSE_SETTLE_SECONDS"
    local p0 x0 p1 x1
    p0=$(ticks "$pid") x0=$(ticks "$XVFB")
    sleep "$PAUSE_SECONDS"
    p1=$(ticks "$pid") x1=$(ticks "$XVFB")
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    awk -v p=$((p1 - p0)) -v x=$((x1 - x0)) -v hz="$HZ" -v s="$PAUSE_SECONDS" \
        'BEGIN {printf "%.2f %.2f\n", 100 * p / hz / s, 100 * x / hz / s}' >"$WORK/$name.$round.paused"
}

# qor is paused the way a user does it: the space key once the first picture is on screen.
paused_qor() {
    local round=$1
    new_qor_home
    new_qor_env
    "${qor_env[@]}" "$QOR" "$CLIP" >"$WORK/qor.paused.out" 2>&1 &
    local pid=$! window
    window=$(qor_window "$pid")
    if [ -n "$window" ]; then
        xdotool key --window "$window" space
    fi
    measure_paused "$pid" qor "$round"
    rm -rf "$QOR_HOME"
}

paused_mpv() {
    local round=$1
    "${MPV[@]}" --pause "$CLIP" >"$WORK/mpv.paused.out" 2>&1 &
    measure_paused $! mpv "$round"
}

for round in $(seq 1 "$ROUNDS"); do
    play_qor window "$round"
    read -r width height <"$WORK/qor.size"
    play_mpv window "$round" --autofit="${width}x${height}"
    play_qor full "$round"
    play_mpv full "$round" --fs
    paused_qor "$round"
    paused_mpv "$round"
done

echo "1080p30 H.264 + AAC under Xvfb $DISPLAY (1920 x 1080), $PLAY_SECONDS s played," \
    "$PAUSE_SECONDS s paused, $ROUNDS rounds interleaved"
echo "window: qor's default window, its picture ${width} x ${height}; mpv --autofit=${width}x${height}"
printf '%-6s %-6s %-5s %10s %11s %9s %9s %8s\n' player mode round "CPU s/s" "player s/s" \
    "Xvfb s/s" "peak MiB" dropped
for mode in window full; do
    for round in $(seq 1 "$ROUNDS"); do
        for name in qor mpv; do
            read -r cpu kib dropped xvfb <"$WORK/$name.$mode.$round.run"
            awk -v n="$name" -v m="$mode" -v r="$round" -v c="$cpu" -v k="$kib" -v d="$dropped" \
                -v x="$xvfb" -v s="$PLAY_SECONDS" 'BEGIN {
                printf "%-6s %-6s %-5s %10.3f %11.3f %9.3f %9.1f %8s\n",
                    n, m, r, (c + x) / s, c / s, x / s, k / 1024, d }'
        done
    done
done
for round in $(seq 1 "$ROUNDS"); do
    read -r qp qx <"$WORK/qor.$round.paused"
    read -r mp mx <"$WORK/mpv.$round.paused"
    echo "paused round $round, per cent of one core: qor $qp (X server $qx), mpv $mp (X server $mx)"
done

# Sums over the rounds of one player and mode: "cpu_with_x peak_kib dropped".
sums() {
    cat "$WORK/$1.$2".[0-9]*.run | awk '{c += $1 + $4; m = $2 > m ? $2 : m; d += $3}
        END {print c, m, d}'
}
verdict() { awk -v v="$1" -v g="$2" 'BEGIN {print v <= g ? "met" : "NOT met"}'; }
read -r qw qwm qwd < <(sums qor window)
read -r mw mwm mwd < <(sums mpv window)
read -r qf qfm qfd < <(sums qor full)
read -r mf mfm mfd < <(sums mpv full)
qp=$(cat "$WORK"/qor.[0-9]*.paused | awk '{p += $1} END {printf "%.2f", p / NR}')
mp=$(cat "$WORK"/mpv.[0-9]*.paused | awk '{p += $1} END {printf "%.2f", p / NR}')
window_ratio=$(awk -v a="$qw" -v b="$mw" 'BEGIN {printf "%.2f", a / b}')
full_ratio=$(awk -v a="$qf" -v b="$mf" 'BEGIN {printf "%.2f", a / b}')
peak_qor=$((qwm > qfm ? qwm : qfm))
peak_mpv=$((mwm > mfm ? mwm : mfm))
memory_ratio=$(awk -v a="$peak_qor" -v b="$peak_mpv" 'BEGIN {printf "%.2f", a / b}')
echo "equal picture size: CPU with X server qor/mpv $window_ratio (goal at most $WINDOW_GOAL:" \
    "$(verdict "$window_ratio" "$WINDOW_GOAL"))"
echo "full screen:        CPU with X server qor/mpv $full_ratio (goal at most $FULL_SCREEN_GOAL:" \
    "$(verdict "$full_ratio" "$FULL_SCREEN_GOAL"))"
echo "peak memory:        qor/mpv $memory_ratio (goal at most 1: $(verdict "$memory_ratio" 1))"
echo "frames dropped over all rounds: qor $qwd windowed, $qfd full screen;" \
    "mpv $mwd windowed, $mfd full screen"
echo "paused CPU of one core: qor $qp %, mpv $mp % (goal for qor at most $PAUSED_GOAL_PERCENT %:" \
    "$(verdict "$qp" "$PAUSED_GOAL_PERCENT"))"
