#!/usr/bin/env bash
# Installs what is missing, builds the player and runs it on the given files, or on the demo clip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-deps.sh"
"$root/scripts/build.sh" release
if [ $# -eq 0 ]; then
    set -- "$root/build/release/demo/demo.mp4"
fi
exec "$root/build/release/src/app/qor" "$@"
