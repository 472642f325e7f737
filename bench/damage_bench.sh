#!/usr/bin/env bash
# Damaged files: how many video frames the real player shows of each, beside the frames the
# ffmpeg command decodes and mpv shows of the same file, and how fast the player ends on SIGTERM.
#   bench/damage_bench.sh [BUILD_DIR] [FILTER]   (default build/release; FILTER: a name pattern)
# Five container and codec pairs, eight damaged copies each with fixed seeds: four with bytes of
# the headers flipped, four with one byte in a thousand of the rest flipped. Prints a line per
# file (frames of qor, ffmpeg and mpv, seconds from SIGTERM to exit) and the summed ratios.
# The player runs under Xvfb on display :$QOR_BENCH_DISPLAY (default 25) with its own home,
# data, config and runtime folders, so it meets no other player through the single-instance rule.
set -uo pipefail

# Each clip lasts this long (25 frames per second, 320x240): long enough for several clusters,
# key frames and damaged stretches, short enough for 40 real-time plays.
CLIP_SECONDS=6
# Flipped bytes among the first HEADER_BYTES of a header-damaged copy: the container's headers
# (an AVI's stream list, a Matroska file's track entries, a fast-start MP4's index, a transport
# stream's program tables) lie there.
HEADER_FLIPS=4
HEADER_BYTES=2048
# A payload-damaged copy has one byte in PAYLOAD_EVERY flipped past the header bytes.
PAYLOAD_EVERY=1000
# The player gets the clip's length and this margin to play it to the end before SIGTERM.
PLAY_MARGIN_SECONDS=6
# A player still running this long after SIGTERM counts as hung (and is killed).
EXIT_LIMIT_SECONDS=2
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/release}" && pwd) # absolute: the players get folders below it
FILTER=${2:-}
QOR=$BUILD/player/qor
WORK=$BUILD/bench/damage
DISPLAY_NUMBER=${QOR_BENCH_DISPLAY:-25}

if [ ! -x "$QOR" ]; then
    echo "no $QOR: build the qor target first" >&2
    exit 1
fi
for tool in ffmpeg mpv Xvfb perl; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
mkdir -p "$WORK/clips" "$WORK/damaged"

# make NAME FFMPEG_OUTPUT_OPTIONS...: one undamaged clip with picture and sound.
make() {
    local name=$1
    shift
    [ -f "$WORK/clips/$name" ] && return
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=320x240:r=25:d=$CLIP_SECONDS" \
        -f lavfi -i "sine=f=440:sample_rate=44100:d=$CLIP_SECONDS" "$@" -g 25 -ac 2 \
        "$WORK/clips/part.$name" && mv "$WORK/clips/part.$name" "$WORK/clips/$name"
}
make avi_mpeg4_mp3.avi -c:v mpeg4 -q:v 4 -c:a libmp3lame
make webm_vp8_vorbis.webm -c:v libvpx -b:v 300k -c:a libvorbis
make mkv_h264_aac.mkv -c:v libx264 -preset fast -c:a aac
make mp4_h264_aac.mp4 -c:v libx264 -preset fast -c:a aac -movflags +faststart
make ts_mpeg2_mp2.ts -c:v mpeg2video -q:v 4 -c:a mp2

# damage IN OUT SEED header|payload: flips bytes at places drawn from the seed.
damage() {
    perl -e '
        my ($in, $out, $seed, $mode, $flips, $headerBytes, $every) = @ARGV;
        open(my $f, "<:raw", $in) or die; local $/; my $d = <$f>; close $f;
        srand($seed);
        my $n = length $d;
        my ($from, $count) = $mode eq "header" ? (0, $flips) : ($headerBytes, int($n / $every));
        my $span = ($mode eq "header" ? $headerBytes : $n) - $from;
        for (1 .. $count) {
            my $at = $from + int(rand($span));
            substr($d, $at, 1) = chr(ord(substr($d, $at, 1)) ^ (1 + int(rand(255))));
        }
        open(my $o, ">:raw", $out) or die; print $o $d; close $o;
    ' "$1" "$2" "$3" "$4" "$HEADER_FLIPS" "$HEADER_BYTES" "$PAYLOAD_EVERY"
}

files=()
for clip in "$WORK"/clips/*.*; do
    base=$(basename "$clip")
    for seed in 1 2 3 4 5 6 7 8; do
        mode=header
        [ "$seed" -gt 4 ] && mode=payload
        out="$WORK/damaged/${mode}${seed}_$base"
        [[ -n "$FILTER" && "$out" != *$FILTER* ]] && continue
        damage "$clip" "$out" "$seed" "$mode"
        files+=("$out")
    done
done

# Video frames as decoded by the ffmpeg command (no frames duplicated or dropped for timing).
ffmpeg_frames() {
    ffmpeg -nostdin -v quiet -i "$1" -map 0:v:0 -fps_mode passthrough -f framemd5 - 2>/dev/null |
        grep -vc '^#'
}
# Video frames mpv shows when nothing holds it to real time.
mpv_frames() {
    timeout 60 mpv --no-config --vo=null --ao=null --untimed --framedrop=no \
        --msg-level=all=error,ffmpeg=v --vf='lavfi=[showinfo]' "$1" 2>&1 |
        grep -c 'Parsed_showinfo.* n: *[0-9]'
}

Xvfb ":$DISPLAY_NUMBER" -screen 0 1280x800x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB=$!
trap 'kill "$XVFB" 2>/dev/null' EXIT
sleep 1
kill -0 "$XVFB" 2>/dev/null || { echo "Xvfb did not start on :$DISPLAY_NUMBER" >&2; exit 1; }

# qor_frames FILE: plays the file in a player of its own, sends SIGTERM once the clip has ended
# (or after its length and the margin) and prints "presented dropped exit_seconds status": the
# renderer's counts of the first play from the log (0 when none was logged), status "ok", "slow"
# (ended later than the limit), "hung" (killed after it) or "crashed" (ended by a signal of its
# own).
qor_frames() {
    local home
    home=$(mktemp -d "$WORK/home.XXXXXX")
    mkdir -p "$home/tmp" "$home/run"
    chmod 700 "$home/run"
    local log=$home/data/QOR/Temp/qor.log
    HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config TMPDIR=$home/tmp \
        XDG_RUNTIME_DIR=$home/run DISPLAY=":$DISPLAY_NUMBER" SDL_AUDIODRIVER=dummy \
        QT_QPA_PLATFORM=xcb QOR_VENDOR_HOST=127.0.0.1:9 \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        "$QOR" "$1" >"$home/out" 2>&1 &
    local pid=$! deadline=$((SECONDS + CLIP_SECONDS + PLAY_MARGIN_SECONDS + 5))
    # The clip ends with the renderer's end-of-stream count or with a failed load.
    while [ $SECONDS -lt $deadline ] && kill -0 "$pid" 2>/dev/null; do
        grep -q -E 'EndOfStream: frames presented|No Video & No Audio|MediaCompleted' "$log" \
            2>/dev/null && break
        sleep 0.2
    done
    sleep 0.3
    local start=$(date +%s%N) status=ok
    kill -TERM "$pid" 2>/dev/null
    while kill -0 "$pid" 2>/dev/null; do
        if [ $(($(date +%s%N) - start)) -gt $((EXIT_LIMIT_SECONDS * 1000000000)) ]; then
            status=hung
            kill -KILL "$pid" 2>/dev/null
            break
        fi
        sleep 0.02
    done
    wait "$pid" 2>/dev/null
    local rc=$?
    local seconds
    seconds=$(awk -v ns=$(($(date +%s%N) - start)) 'BEGIN { printf "%.2f", ns / 1e9 }')
    [ "$status" = ok ] && [ "$rc" -gt 128 ] && [ "$rc" -ne 143 ] && status=crashed
    # Ended by itself, but later than the limit (the polling above only kills past it).
    [ "$status" = ok ] && awk -v s="$seconds" -v l=$EXIT_LIMIT_SECONDS 'BEGIN { exit !(s > l) }' &&
        status=slow
    local counts
    counts=$(grep -o 'frames presented: [0-9]*, dropped: [0-9]*' "$log" 2>/dev/null | head -1 |
        tr -dc '0-9 ' | awk '{ print $1, $2 }')
    echo "${counts:-0 0} $seconds $status"
    cp "$log" "$WORK/damaged/$(basename "$1").qor.log" 2>/dev/null
    rm -rf "$home"
}

# Frames the renderer dropped as late are counted apart: they reached it from the source, and
# how many are late depends on the machine's load rather than on the damage.
printf '%-34s %6s %7s %6s %6s %7s %s\n' file qor dropped ffmpeg mpv exit_s status
sum_qor=0 sum_dropped=0 sum_ffmpeg=0 sum_mpv=0 worst_exit=0 failures=0
for file in "${files[@]}"; do
    f=$(ffmpeg_frames "$file")
    m=$(mpv_frames "$file")
    read -r q d seconds status < <(qor_frames "$file")
    printf '%-34s %6d %7d %6d %6d %7s %s\n' "$(basename "$file")" "$q" "$d" "$f" "$m" "$seconds" \
        "$status"
    sum_qor=$((sum_qor + q)) sum_dropped=$((sum_dropped + d))
    sum_ffmpeg=$((sum_ffmpeg + f)) sum_mpv=$((sum_mpv + m))
    worst_exit=$(awk -v a="$worst_exit" -v b="$seconds" 'BEGIN { print (b > a ? b : a) }')
    [ "$status" = ok ] || failures=$((failures + 1))
done
echo
echo "files: ${#files[@]}, slow, hung or crashed: $failures, slowest exit after SIGTERM: ${worst_exit} s"
echo "frames: qor presented $sum_qor (dropped late $sum_dropped), ffmpeg $sum_ffmpeg, mpv $sum_mpv"
awk -v q=$sum_qor -v d=$sum_dropped -v f=$sum_ffmpeg -v m=$sum_mpv 'BEGIN {
    printf "presented / ffmpeg: %.2f   presented / mpv: %.2f\n", f ? q / f : 0, m ? q / m : 0
    printf "presented and dropped / ffmpeg: %.2f   / mpv: %.2f\n", f ? (q + d) / f : 0,
        m ? (q + d) / m : 0 }'
