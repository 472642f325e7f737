#!/usr/bin/env bash
# Fails when a C++ file does not follow .clang-format.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h')
[ ${#files[@]} -eq 0 ] || clang-format --dry-run --Werror "${files[@]}"
# Each library's include path holds only its own layer and those below it; a relative include
# climbing out of its folder would get round that.
if git grep -n -E '^\s*#\s*include\s*"(\.\./|[^"]*/\.\./)' -- src; then
    echo "src/ includes by a path that climbs out of its folder (use <layer>/<file>.h)" >&2
    exit 1
fi
