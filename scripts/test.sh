#!/usr/bin/env bash
# Installs what is missing, checks the formatting, then builds and tests the normal and the
# sanitizer configuration.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-deps.sh"
"$root/scripts/check-format.sh"
export QT_QPA_PLATFORM=offscreen
export SDL_AUDIODRIVER=dummy
for config in release asan; do
    echo "== $config"
    "$root/scripts/build.sh" "$config"
    ctest --test-dir "$root/build/$config" --output-on-failure -j "$(nproc)" --timeout 300
done
