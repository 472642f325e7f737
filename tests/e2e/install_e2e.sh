#!/usr/bin/env bash
# The installed tree: install_e2e.sh BUILD_DIR
# `cmake --install` into a fresh prefix puts the program with its version file, the desktop file
# (valid by desktop-file-validate, starting "qor %F" with the icon "qor") and the icon in each
# theme size at its freedesktop place. Exit 77 (skipped) without desktop-file-validate or
# ImageMagick's identify.
set -uo pipefail
build=$1
for tool in desktop-file-validate identify; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
prefix=$(mktemp -d /tmp/qor_install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
failures=0
check() { # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "install failed"; exit 1; }
desktop=$prefix/share/applications/qor.desktop
check "bin/qor is an executable" test -x "$prefix/bin/qor"
check "bin/qor.ini beside it names a version" grep -q '^Major=' "$prefix/bin/qor.ini"
check "the desktop file validates" desktop-file-validate "$desktop"
check "it starts qor with the files" grep -qx 'Exec=qor %F' "$desktop"
check "its icon is the theme's qor" grep -qx 'Icon=qor' "$desktop"
for type in video/mp4 video/x-matroska video/x-msvideo audio/mpeg audio/flac; do
    check "it opens $type" grep -q "^MimeType=.*$type;" "$desktop"
done
for size in 16 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x$size/apps/qor.png
    check "icon ${size}x$size" test "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x$size"
done
# The helper programs go beside the player when the build has them.
for helper in Renovo Mishap; do
    if find "$build" -name "$helper" -type f -perm -u+x | grep -q .; then
        check "bin/$helper" test -x "$prefix/bin/$helper"
    fi
done
[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
