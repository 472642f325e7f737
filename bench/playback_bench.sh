#!/bin/sh
# Plays a 1080p30 H.264 + AAC clip for 30 s in the development player under Xvfb and prints the
# CPU seconds per media second and the peak memory beside mpv playing the same clip in the same
# run, then where the player's time goes (samples per library, from perf when it may run).
#   bench/playback_bench.sh [BUILD_DIR]     (default: build/release; needs qor_devplayer built)
set -eu

SECONDS_PLAYED=30
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/release}
PLAYER=$BUILD/tools/devplayer/qor_devplayer
WORK=$BUILD/bench/playback
CLIP=$WORK/clip_1080p30_h264_aac_35s.mp4

if [ ! -x "$PLAYER" ]; then
    echo "no $PLAYER: build the qor_devplayer target first" >&2
    exit 1
fi
# The peer player and GNU time are measuring tools, not dependencies of the player.
missing=""
command -v mpv >/dev/null 2>&1 || missing="$missing mpv"
[ -x /usr/bin/time ] || missing="$missing time"
command -v xvfb-run >/dev/null 2>&1 || missing="$missing xvfb"
if [ -n "$missing" ]; then
    echo "installing$missing"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi

mkdir -p "$WORK"
if [ ! -f "$CLIP" ]; then
    echo "making $CLIP"
    ffmpeg -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=35 \
        -f lavfi -i sine=frequency=440:sample_rate=48000:duration=35 \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 60 -c:a aac -b:a 128k -shortest \
        "$CLIP.part.mp4"
    mv "$CLIP.part.mp4" "$CLIP"
fi

export SDL_AUDIODRIVER=dummy
export QT_QPA_PLATFORM=xcb
# Both players in one X server, one after the other, each measured by GNU time.
xvfb-run -a -s "-screen 0 1920x1080x24" sh -c "
    /usr/bin/time -v -o '$WORK/qor.time' '$PLAYER' --quit-after $SECONDS_PLAYED '$CLIP' \
        >'$WORK/qor.out' 2>&1
    /usr/bin/time -v -o '$WORK/mpv.time' mpv --no-config --vo=x11 --ao=null --hwdec=no \
        --length=$SECONDS_PLAYED --really-quiet '$CLIP' >'$WORK/mpv.out' 2>&1
    true"
read_time() {
    awk -F': ' '/User time/ {u=$2} /System time/ {s=$2} /Maximum resident/ {m=$2}
        END {printf "%.2f %d\n", u + s, m}' "$1"
}
set -- $(read_time "$WORK/qor.time") $(read_time "$WORK/mpv.time")
QOR_CPU=$1 QOR_KIB=$2 MPV_CPU=$3 MPV_KIB=$4

awk -v qc="$QOR_CPU" -v qm="$QOR_KIB" -v mc="$MPV_CPU" -v mm="$MPV_KIB" -v s="$SECONDS_PLAYED" 'BEGIN {
    printf "1080p30 H.264 + AAC, %d s played under Xvfb, SDL dummy audio / mpv --ao=null\n", s
    printf "%-22s %14s %14s\n", "", "qor_devplayer", "mpv"
    printf "%-22s %14.3f %14.3f\n", "CPU s per media s", qc / s, mc / s
    printf "%-22s %14.1f %14.1f\n", "peak memory (MiB)", qm / 1024, mm / 1024
    if (mc > 0 && mm > 0)
        printf "ratio qor/mpv: CPU %.2f, memory %.2f\n", qc / mc, qm / mm
}'

# Where the time goes: samples per shared object (decoding in libavcodec, conversion and scaling
# in libswscale, painting in Qt, the rest in the player itself).
if perf record -q -F 499 -o "$WORK/perf.data" -- true >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1920x1080x24" perf record -q -F 499 -g -o "$WORK/perf.data" -- \
        "$PLAYER" --quit-after 10 "$CLIP" >/dev/null 2>&1 || true
    echo "where qor's time goes (10 s, share of CPU samples by library):"
    perf report -i "$WORK/perf.data" --stdio --sort dso --no-children 2>/dev/null |
        awk '/^ +[0-9.]+%/ && n < 10 {print "  " $1 "  " $2; n++}'
else
    echo "perf may not sample here; no per-library breakdown"
fi
