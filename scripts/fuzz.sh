#!/usr/bin/env bash
# Builds the fuzz targets (build/fuzz, clang with libFuzzer and the address and undefined-behaviour
# sanitizers) and fuzzes each for SECONDS, one after the other:
#   fuzz.sh [SECONDS] [TARGET...]
#   fuzz.sh build          (builds every target and stops)
# With SECONDS 0 every target runs once over its seeds and the inputs kept in fuzz/corpus/ (the
# test command does this). New inputs collect in build/fuzz/corpus/<target>/; a crash, hang or
# sanitizer report stops the target and leaves its input in build/fuzz/crashes/. Keep such an
# input in fuzz/corpus/<target>/ with the fix, so that every later run replays it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build_only=false
if [[ "$seconds" == build ]]; then
    build_only=true
    seconds=0
fi
all=(fuzz_text_reader fuzz_playlist_file fuzz_version_file fuzz_upgrade_rules fuzz_srt_to_ass
    fuzz_media_source)
targets=("${@:-${all[@]}}")
build="$root/build/fuzz"
# A decode of one input beyond this many seconds is a hang.
timeout=60
# The media inputs grow to this size: a few seconds of small video and sound.
media_max_len=65536

"$root/scripts/build.sh" fuzz "${targets[@]}"
$build_only && exit 0

# Media seeds: half a second of tiny picture and sound in the containers and codecs the player
# meets most, made with the ffmpeg command (a few KB each).
seeds="$build/seeds/fuzz_media_source"
make_seed() {
    local name=$1
    shift
    [[ -s "$seeds/$name" ]] && return
    ffmpeg -nostdin -v error -y "$@" "$seeds/$name.tmp" && mv "$seeds/$name.tmp" "$seeds/$name"
}
mkdir -p "$seeds"
video=(-f lavfi -i testsrc2=s=32x24:r=10:d=0.5)
sound=(-f lavfi -i sine=f=440:d=0.5:sample_rate=8000)
make_seed avi "${video[@]}" "${sound[@]}" -c:v mpeg4 -c:a mp2 -ar 16000 -f avi
make_seed mp4 "${video[@]}" "${sound[@]}" -c:v libx264 -preset ultrafast -c:a aac -f mp4
make_seed mkv "${video[@]}" "${sound[@]}" -f lavfi -i "aevalsrc=0:d=0.5" \
    -map 0 -map 1 -c:v libvpx -c:a libvorbis -f matroska
make_seed ts "${video[@]}" "${sound[@]}" -c:v mpeg2video -c:a mp2 -ar 16000 -f mpegts
make_seed mp3 "${sound[@]}" -c:a libmp3lame -b:a 8k -f mp3
make_seed wav "${sound[@]}" -ac 6 -c:a pcm_u8 -f wav
make_seed ogg "${sound[@]}" -c:a libopus -f ogg
srt="$build/seeds/cue.srt"
printf '1\n00:00:00,100 --> 00:00:00,400\n<b>text</b>\n' >"$srt"
make_seed mkv_srt "${video[@]}" -i "$srt" -c:v mpeg4 -c:s srt -f matroska

# The targets hand their inputs over as files: in memory each costs microseconds, on a busy disk
# tens of milliseconds.
scratch=$(mktemp -d /dev/shm/qor-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch

status=0
for target in "${targets[@]}"; do
    kept="$root/fuzz/corpus/$target"
    inputs=()
    [[ -d "$kept" ]] && inputs+=("$kept")
    [[ "$target" == fuzz_media_source ]] && inputs+=("$seeds")
    options=(-timeout=$timeout -rss_limit_mb=4096)
    [[ "$target" == fuzz_media_source ]] && options+=(-max_len=$media_max_len)
    output="$build/$target.out"
    if [[ "$seconds" == 0 ]]; then
        files=()
        for dir in "${inputs[@]}"; do
            files+=("$dir"/*)
        done
        echo "== $target: ${#files[@]} inputs"
        "$build/fuzz/$target" "${options[@]}" "${files[@]}" >"$output" 2>&1 || { cat "$output"; status=1; }
    else
        corpus="$build/corpus/$target"
        mkdir -p "$corpus" "$build/crashes"
        echo "== $target: $seconds s"
        "$build/fuzz/$target" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$build/crashes/$target-" "$corpus" "${inputs[@]}" >"$output" 2>&1 ||
            status=1
        # The progress lines are many; the summary and any report are at the end.
        grep -v -E '^#[0-9]+\s+(NEW|REDUCE|pulse)' "$output" | tail -n 40
    fi
done
exit $status
