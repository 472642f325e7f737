#!/usr/bin/env bash
# Plays a playlist of 50 short clips (1-3 s, mixed containers and codecs, some damaged so that
# they cannot play) in the playlist loop for a while in the real player under Xvfb with SDL's
# dummy sound, and prints what a long run would show going wrong: resident memory, open files
# and threads after the first pass and at the end, the log's size, and the clips played and
# failed (from the log), with the rows of the default playlist saved at the SIGTERM exit.
#   bench/soak.sh [SECONDS] [BUILD_DIR]   (default 600 s, build/release)
# SOAK_DISPLAY=N runs Xvfb on display :N instead of a free one below 10.
set -euo pipefail

SECONDS_TO_RUN=${1:-600}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${2:-$ROOT/build/release}" && pwd)
QOR=$BUILD/player/qor
WORK=$BUILD/bench/soak
CLIPS=$WORK/clips
CLIP_COUNT=50
# Every DAMAGED_EVERY-th clip is damaged.
DAMAGED_EVERY=8
# A clean exit after SIGTERM takes a second or two; a player still running after this hangs.
EXIT_LIMIT_S=30
# Memory, files and threads are compared at the same moment of a pass, this long after the first
# clip's load began (the threads depend on the clip playing), so that what differs is what the
# passes left behind.
SNAPSHOT_DELAY_S=1

[ -x "$QOR" ] || { echo "no $QOR: build the qor target first" >&2; exit 1; }
command -v Xvfb >/dev/null 2>&1 || { echo "no Xvfb (package xvfb)" >&2; exit 1; }

# Containers with their codecs: video codec (or "-" for none), audio codec, extra options.
recipes=(
    "mp4|libx264 -preset ultrafast -pix_fmt yuv420p|aac"
    "mkv|libvpx -deadline realtime -cpu-used 8|libvorbis"
    "avi|mpeg4|libmp3lame"
    "ts|mpeg2video|mp2"
    "webm|libvpx-vp9 -deadline realtime -cpu-used 8|libopus"
    "mov|mpeg4|aac"
    "mp3|-|libmp3lame"
    "ogg|-|libvorbis"
    "wav|-|pcm_s16le"
    "flv|flv1|libmp3lame -ar 44100"
)

# Keeps only the first bytes of a clip, or turns all of it to noise: either way nothing in it can
# play. (Noise over the headers alone is not enough: a transport stream or an MP3 resyncs behind
# it and plays the rest, as it should.)
damage() {
    local file=$1 kind=$2
    if [ "$kind" = truncate ]; then
        truncate -s 700 "$file"
    else
        head -c "$(stat -c %s "$file")" /dev/urandom >"$file.noise"
        mv "$file.noise" "$file"
    fi
}

mkdir -p "$CLIPS"
paths=()
for i in $(seq 1 $CLIP_COUNT); do
    IFS='|' read -r extension video audio <<<"${recipes[$(((i - 1) % ${#recipes[@]}))]}"
    seconds=$((1 + i % 3))
    clip=$CLIPS/$(printf '%02d' "$i")_${seconds}s.$extension
    if [ $((i % DAMAGED_EVERY)) -eq 0 ]; then
        clip=$CLIPS/$(printf '%02d' "$i")_damaged.$extension
    fi
    if [ ! -s "$clip" ]; then
        inputs=(-f lavfi -i "testsrc2=size=320x240:rate=25:duration=$seconds"
            -f lavfi -i "sine=frequency=$((200 + i * 20)):sample_rate=48000:duration=$seconds")
        # shellcheck disable=SC2086 # the codec fields hold their options
        if [ "$video" = - ]; then
            ffmpeg -nostdin -v error -y "${inputs[@]:4}" -c:a $audio "$clip.part.$extension"
        else
            ffmpeg -nostdin -v error -y "${inputs[@]}" -c:v $video -c:a $audio -shortest \
                "$clip.part.$extension"
        fi
        mv "$clip.part.$extension" "$clip"
        case "$clip" in
        *_damaged.*) damage "$clip" "$([ $((i / DAMAGED_EVERY % 2)) -eq 0 ] && echo truncate || echo noise)" ;;
        esac
    fi
    paths+=("$clip")
done
damaged=$(printf '%s\n' "${paths[@]}" | grep -c _damaged || true)

. "$(dirname "$0")/xvfb.sh"
start_xvfb "${SOAK_DISPLAY:-}"

home=$(mktemp -d "$WORK/home.XXXXXX")
mkdir -p "$home/runtime" "$home/tmp" "$home/data" "$home/config"
chmod 700 "$home/runtime"
log=$home/data/QOR/Temp/qor.log
playlist=$home/data/QOR/Playlists/__default.mpl
# The upgrade check asks a closed local port instead of the vendor's site.
HOME=$home TMPDIR=$home/tmp XDG_RUNTIME_DIR=$home/runtime XDG_DATA_HOME=$home/data \
    XDG_CONFIG_HOME=$home/config QOR_VENDOR_HOST=127.0.0.1:9 \
    "$QOR" "${paths[@]}" >"$home/qor.out" 2>&1 &
qor=$!
trap 'kill -KILL $qor 2>/dev/null || true; kill "$XVFB" 2>/dev/null || true' EXIT

# Log lines holding the text; 0 before the log exists.
count() {
    local lines
    lines=$(grep -c -F -- "$1" "$log" 2>/dev/null) || true
    echo "${lines:-0}"
}
# Resident memory, open files and threads of the player.
snapshot() {
    local rss files threads
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$qor/status")
    files=$(find "/proc/$qor/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)
    threads=$(find "/proc/$qor/task" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)
    printf '%-28s %6.1f MiB resident, %3d open files, %3d threads, log %d KiB, %d loads begun\n' \
        "$1:" "$(echo "$rss / 1024" | bc -l)" "$files" "$threads" \
        "$(($(stat -c %s "$log") / 1024))" "$(count 'CVeltoSource::Load: Try loading file')"
}

echo "$CLIP_COUNT clips ($damaged damaged) in the playlist loop for $SECONDS_TO_RUN s"
loads() { count 'CVeltoSource::Load: Try loading file'; }
# Waits until the load of the first clip of the next pass has begun, then SNAPSHOT_DELAY_S more;
# false when the player ended or the pass took longer than the limit.
await_pass_start() {
    local limit=$(($(date +%s) + $1)) next=$(( ($(loads) / CLIP_COUNT + 1) * CLIP_COUNT + 1))
    while [ "$(loads)" -lt $next ]; do
        kill -0 $qor 2>/dev/null || return 1
        [ "$(date +%s)" -lt $limit ] || return 1
        sleep 0.2
    done
    sleep $SNAPSHOT_DELAY_S
}
started=$(date +%s)
deadline=$((started + SECONDS_TO_RUN))
pass_limit=$SECONDS_TO_RUN
await_pass_start $pass_limit || { echo "the first pass did not end; qor output:" >&2; cat "$home/qor.out" >&2; exit 1; }
first_pass_s=$(($(date +%s) - started))
snapshot "after the first pass, $first_pass_s s"
# Each later pass start, until the run's time is up; the last one is the end.
while [ "$(date +%s)" -lt $deadline ]; do
    await_pass_start $((first_pass_s * 2)) || { echo "qor ended or stalled; its output:" >&2; cat "$home/qor.out" >&2; exit 1; }
    snapshot "pass $(( ($(loads) - 1) / CLIP_COUNT + 1 )), after $(($(date +%s) - started)) s"
done

kill -TERM $qor
exited=""
for _ in $(seq $((EXIT_LIMIT_S * 10))); do
    kill -0 $qor 2>/dev/null || { exited=yes; break; }
    sleep 0.1
done
[ -n "$exited" ] || echo "qor still running $EXIT_LIMIT_S s after SIGTERM"
wait $qor 2>/dev/null && status=0 || status=$?
echo "exit status $status"

loads=$(count 'CVeltoSource::Load: Try loading file')
loaded=$(count 'CVeltoSource::Load: File loaded successfully.')
# A clip fails at its load, or when it ends having played nothing.
failures() {
    grep -E 'CEngineDS::Load: the source cannot load|ended without a picture or a sound' "$log" |
        sed -E 's/.*cannot load (.*): 0x.*/\1/; s/.*CControlCenter[^ ]* (.*) ended without.*/\1/'
}
failed=$(failures | wc -l)
failed_clips=$(failures | sort -u | wc -l)
failed_damaged=$(failures | sort -u | grep -c _damaged || true)
errors=$(grep -c ' ERROR: ' "$log" || true)
rows=0
[ -f "$playlist" ] && rows=$(iconv -f UTF-16 -t UTF-8 "$playlist" | grep -c . || true)
echo "loads begun $loads, loaded $loaded, failed $failed: $failed_clips distinct clips, $failed_damaged of the $damaged damaged"
echo "log $(($(stat -c %s "$log") / 1024)) KiB, $errors ERROR lines; saved default playlist: $rows rows"
rm -rf "$home"
