#!/usr/bin/env bash
# Plays a 1080p30 H.264 + AAC clip for 30 s in the development player and in mpv, both in one
# Xvfb server (display below 10, so both use shared memory), rounds interleaved, and prints for
# each: CPU seconds per media second of the player plus the X server's own CPU, peak memory and
# frames dropped; then 20 s paused, CPU per cent of one core; then the ratios.
#   bench/playback_bench.sh [BUILD_DIR] [ROUNDS]   (default build/release, 2 rounds)
set -euo pipefail

PLAY_SECONDS=30
PAUSE_SECONDS=20
# Start-up (opening the file, the first frames) is left out of the paused measurement.
PAUSE_SETTLE_SECONDS=3
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/release}
ROUNDS=${2:-2}
PLAYER=$BUILD/tools/devplayer/qor_devplayer
WORK=$BUILD/bench/playback
CLIP=$WORK/clip_1080p30_h264_aac_35s.mp4
HZ=$(getconf CLK_TCK)

if [ ! -x "$PLAYER" ]; then
    echo "no $PLAYER: build the qor_devplayer target first" >&2
    exit 1
fi
# The peer player and GNU time are measuring tools, not dependencies of the player.
missing=()
command -v mpv >/dev/null 2>&1 || missing+=(mpv)
[ -x /usr/bin/time ] || missing+=(time)
command -v Xvfb >/dev/null 2>&1 || missing+=(xvfb)
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing ${missing[*]}"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
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

. "$(dirname "$0")/xvfb.sh"
start_xvfb

# CPU clock ticks a process has used so far (user + system).
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

QOR=("$PLAYER")
MPV=(mpv --no-config --hwdec=no --vo=x11 --ao=null --really-quiet --script="$ROOT/bench/mpv_drops.lua")

# play NAME ROUND COMMAND...: one timed run; leaves "cpu_s rss_kib dropped xvfb_s" in NAME.ROUND.
play() {
    local name=$1 round=$2
    shift 2
    local before after
    before=$(ticks "$XVFB")
    /usr/bin/time -f '%U %S %M' -o "$WORK/$name.time" "$@" >"$WORK/$name.out" 2>&1 || true
    after=$(ticks "$XVFB")
    local dropped
    dropped=$(grep -o -E '(frames )?dropped:? [0-9]+' "$WORK/$name.out" | tail -1 | grep -o -E '[0-9]+$' || echo '?')
    awk -v x=$((after - before)) -v hz="$HZ" -v d="$dropped" \
        '{printf "%.3f %d %s %.3f\n", $1 + $2, $3, d, x / hz}' "$WORK/$name.time" >"$WORK/$name.$round"
}

# paused NAME ROUND COMMAND...: CPU per cent of one core of the paused player and of the X
# server over PAUSE_SECONDS, after the settling time.
paused() {
    local name=$1 round=$2
    shift 2
    "$@" >"$WORK/$name.paused.out" 2>&1 &
    local pid=$!
    sleep "$PAUSE_SETTLE_SECONDS"
    local p0 x0 p1 x1
    p0=$(ticks "$pid") x0=$(ticks "$XVFB")
    sleep "$PAUSE_SECONDS"
    p1=$(ticks "$pid") x1=$(ticks "$XVFB")
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    awk -v p=$((p1 - p0)) -v x=$((x1 - x0)) -v hz="$HZ" -v s="$PAUSE_SECONDS" \
        'BEGIN {printf "%.2f %.2f\n", 100 * p / hz / s, 100 * x / hz / s}' >"$WORK/$name.paused.$round"
}

for round in $(seq 1 "$ROUNDS"); do
    play qor "$round" "${QOR[@]}" --quit-after "$PLAY_SECONDS" "$CLIP"
    play mpv "$round" "${MPV[@]}" --length="$PLAY_SECONDS" "$CLIP"
    paused qor "$round" "${QOR[@]}" --paused "$CLIP"
    paused mpv "$round" "${MPV[@]}" --pause "$CLIP"
done

echo "1080p30 H.264 + AAC under Xvfb $DISPLAY, $PLAY_SECONDS s played, $PAUSE_SECONDS s paused, $ROUNDS rounds interleaved"
printf '%-6s %-5s %12s %12s %12s %10s %10s %12s\n' player round "CPU s/s" "player s/s" "Xvfb s/s" "peak MiB" dropped "paused %"
for round in $(seq 1 "$ROUNDS"); do
    for name in qor mpv; do
        read -r cpu kib dropped xvfb <"$WORK/$name.$round"
        read -r pcpu pxvfb <"$WORK/$name.paused.$round"
        awk -v n="$name" -v r="$round" -v c="$cpu" -v k="$kib" -v d="$dropped" -v x="$xvfb" \
            -v p="$pcpu" -v px="$pxvfb" -v s="$PLAY_SECONDS" 'BEGIN {
            printf "%-6s %-5s %12.3f %12.3f %12.3f %10.1f %10s %7.2f (+X %.2f)\n",
                n, r, (c + x) / s, c / s, x / s, k / 1024, d, p, px }'
    done
done
# Ratios over all rounds: qor / mpv.
cat "$WORK"/qor.[0-9]* | awk '{c += $1 + $4; m = $2 > m ? $2 : m} END {print c, m}' >"$WORK/qor.sum"
cat "$WORK"/mpv.[0-9]* | awk '{c += $1 + $4; m = $2 > m ? $2 : m} END {print c, m}' >"$WORK/mpv.sum"
cat "$WORK"/qor.paused.[0-9]* | awk '{p += $1} END {print p / NR}' >"$WORK/qor.psum"
cat "$WORK"/mpv.paused.[0-9]* | awk '{p += $1} END {print p / NR}' >"$WORK/mpv.psum"
read -r qc qm <"$WORK/qor.sum"
read -r mc mm <"$WORK/mpv.sum"
read -r qp <"$WORK/qor.psum"
read -r mp <"$WORK/mpv.psum"
awk -v qc="$qc" -v mc="$mc" -v qm="$qm" -v mm="$mm" -v qp="$qp" -v mp="$mp" 'BEGIN {
    printf "ratio qor/mpv: playing CPU (with X server) %.2f, peak memory %.2f\n", qc / mc, qm / mm
    printf "paused CPU of one core: qor %.2f %%, mpv %.2f %% (goal for qor: at most 0.5 %%)\n", qp, mp }'
