# Sourced by the benchmarks: starts Xvfb on a free display below 10 (so that players use shared
# memory with it), or on the display number given, stops it when the calling script exits, and
# points the players at it. Sets DISPLAY and XVFB (the server's process id).
start_xvfb() {
    local display=${1:-} n
    for n in 9 8 7 6 5 4 3 2 1; do
        [ -z "$display" ] || break
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            display=$n
            break
        fi
    done
    [ -n "$display" ] || { echo "no free display below 10" >&2; exit 1; }
    Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB=$!
    trap 'kill "$XVFB" 2>/dev/null || true' EXIT
    sleep 1
    export DISPLAY=":$display" SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb
}
