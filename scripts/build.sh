#!/usr/bin/env bash
# Configures and builds one configuration: build.sh release|asan|tsan|fuzz [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
config=${1:-release}
extra=()
case "$config" in
release) type=RelWithDebInfo; sanitize=OFF; tsan=OFF ;;
asan) type=Debug; sanitize=ON; tsan=OFF ;;
tsan) type=RelWithDebInfo; sanitize=OFF; tsan=ON ;;
# libFuzzer needs clang; the fuzz targets carry the address and undefined-behaviour sanitizers.
fuzz) type=RelWithDebInfo; sanitize=OFF; tsan=OFF
    extra=(-DQOR_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
*) echo "usage: build.sh release|asan|tsan|fuzz [TARGET...]" >&2; exit 2 ;;
esac
shift || true
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
dir="$root/build/$config"
# A compiler cache, where one is installed, makes rebuilds of unchanged files free, also for a
# clone in another folder (paths below the root are hashed relative to it).
launcher=()
if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=$type -DQOR_SANITIZE=$sanitize \
    -DQOR_TSAN=$tsan -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "${launcher[@]}" "${extra[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
