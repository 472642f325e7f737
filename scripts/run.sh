#!/usr/bin/env bash
# Installs what is missing, builds the player and starts it on the given files, or on the demo
# clip (a moving picture, a tone and a subtitle beside it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-deps.sh"
"$root/scripts/build.sh" release qor demo_clip
if [ $# -eq 0 ]; then
    set -- "$root/build/release/demo/demo.mp4"
fi
exec "$root/build/release/player/qor" "$@"
