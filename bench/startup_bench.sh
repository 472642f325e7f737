#!/usr/bin/env bash
# Time from starting a player on a clip to its first picture on the screen, for qor, mpv and
# ffplay in one Xvfb server (display below 10), rounds interleaved; prints each run, the medians
# and the ratios, as measured and with qor's 500 ms navigation delay taken off (the command line
# path waits that long by design before loading the last file).
#   bench/startup_bench.sh [BUILD_DIR] [ROUNDS]   (default build/release, 5 rounds)
#
# The moment of the first picture, for each: qor logs when its video widget paints its first
# frame (the log line's own time); mpv announces its playback restart after loading, which
# follows the first frame handed to its video output (bench/mpv_first_frame.lua); ffplay shows
# its window when it displays its first frame, which is polled for with xdotool every 10 ms.
# Every qor run has a fresh home, so no playlist is restored and no other instance is found.
set -euo pipefail

NAVIGATION_DELAY_MS=500
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/release}" && pwd)
ROUNDS=${2:-5}
QOR=$BUILD/player/qor
WORK=$BUILD/bench/startup
CLIP=$WORK/clip_720p25_h264_aac_10s.mp4
TIMEOUT_S=20

[ -x "$QOR" ] || { echo "no $QOR: build the qor target first" >&2; exit 1; }
missing=()
for tool in mpv ffplay Xvfb xdotool; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[ ${#missing[@]} -eq 0 ] || { echo "missing: ${missing[*]} (mpv, ffmpeg, xvfb, xdotool)" >&2; exit 1; }

mkdir -p "$WORK"
if [ ! -f "$CLIP" ]; then
    ffmpeg -v error -y -f lavfi -i testsrc2=size=1280x720:rate=25:duration=10 \
        -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest "$CLIP.part.mp4"
    mv "$CLIP.part.mp4" "$CLIP"
fi

. "$(dirname "$0")/xvfb.sh"
start_xvfb
# qor's upgrade check asks a closed local port instead of the vendor's site.
export QOR_VENDOR_HOST=127.0.0.1:9
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.05; done

now_ms() { date +%s%3N; }

# qor: milliseconds from the start to the log line of the first painted frame.
run_qor() {
    local home
    home=$(mktemp -d "$WORK/home.XXXXXX")
    local log=$home/data/QOR/Temp/qor.log
    local start
    start=$(now_ms)
    HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config TMPDIR=$home XDG_RUNTIME_DIR=$home \
        "$QOR" "$CLIP" >"$WORK/qor.out" 2>&1 &
    local pid=$! line=""
    local deadline=$((start + TIMEOUT_S * 1000))
    while [ -z "$line" ] && [ "$(now_ms)" -lt $deadline ]; do
        line=$(grep -m1 "first frame painted," "$log" 2>/dev/null || true)
        sleep 0.02
    done
    kill -TERM $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
    rm -rf "$home"
    [ -n "$line" ] || { echo "qor showed no frame" >&2; echo -1; return; }
    # The line's UTC time of day, "hh:mm:ss:mmm", against the start's.
    awk -v line="$line" -v start="$start" 'BEGIN {
        split(substr(line, 1, 12), t, ":")
        painted = ((t[1] * 60 + t[2]) * 60 + t[3]) * 1000 + t[4]
        d = painted - start % 86400000
        if (d < 0) d += 86400000
        print d }'
}

run_mpv() {
    local start end
    start=$(now_ms)
    end=$(timeout "$TIMEOUT_S" mpv --no-config --hwdec=no --vo=x11 --ao=null --really-quiet \
        --script="$ROOT/bench/mpv_first_frame.lua" "$CLIP" |
        while read -r line; do [ "$line" = first-frame ] && { now_ms; break; }; done || true)
    [ -n "$end" ] && echo $((end - start)) || echo -1
}

run_ffplay() {
    local start end=""
    start=$(now_ms)
    ffplay -autoexit -loglevel quiet "$CLIP" >/dev/null 2>&1 &
    local pid=$!
    local deadline=$((start + TIMEOUT_S * 1000))
    while [ -z "$end" ] && [ "$(now_ms)" -lt $deadline ]; do
        if xdotool search --onlyvisible --pid $pid >/dev/null 2>&1; then
            end=$(now_ms)
        else
            sleep 0.01
        fi
    done
    kill $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
    [ -n "$end" ] && echo $((end - start)) || echo -1
}

# A first run of each warms the disk cache and the font cache, and is not counted.
run_qor >/dev/null
run_mpv >/dev/null
run_ffplay >/dev/null

echo "first picture of a 720p25 H.264 + AAC clip under Xvfb $DISPLAY, $ROUNDS rounds interleaved (ms)"
printf '%-6s %8s %8s %8s\n' round qor mpv ffplay
: >"$WORK/times"
for round in $(seq 1 "$ROUNDS"); do
    q=$(run_qor)
    m=$(run_mpv)
    f=$(run_ffplay)
    printf '%-6s %8s %8s %8s\n' "$round" "$q" "$m" "$f"
    echo "$q $m $f" >>"$WORK/times"
done
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
q=$(awk '{print $1}' "$WORK/times" | median)
m=$(awk '{print $2}' "$WORK/times" | median)
f=$(awk '{print $3}' "$WORK/times" | median)
awk -v q="$q" -v m="$m" -v f="$f" -v d="$NAVIGATION_DELAY_MS" 'BEGIN {
    printf "median: qor %d ms, mpv %d ms, ffplay %d ms\n", q, m, f
    printf "ratio qor/mpv %.2f, qor/ffplay %.2f as measured\n", q / m, q / f
    printf "less the %d ms navigation delay: qor %d ms, ratio qor/mpv %.2f, qor/ffplay %.2f (goal: below 1)\n",
        d, q - d, (q - d) / m, (q - d) / f }'
