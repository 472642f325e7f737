#!/usr/bin/env bash
# Configures and builds one configuration: build.sh release|asan
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
config=${1:-release}
case "$config" in
release) type=RelWithDebInfo; sanitize=OFF ;;
asan) type=Debug; sanitize=ON ;;
*) echo "usage: build.sh release|asan" >&2; exit 2 ;;
esac
dir="$root/build/$config"
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=$type -DQOR_SANITIZE=$sanitize \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$dir" -j "$(nproc)"
