#!/usr/bin/env bash
# Installs what is missing, builds the player and plays the given file, or the demo clip.
# Until the skinned main window exists, the player is the development player: one window filled
# by the video; Space play/pause, S stop, Left/Right seek, Up/Down volume, M mute, Q quit.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-deps.sh"
"$root/scripts/build.sh" release
if [ $# -eq 0 ]; then
    set -- "$root/build/release/demo/demo.mp4"
fi
exec "$root/build/release/tools/devplayer/qor_devplayer" "$@"
