# What the end-to-end scripts share; sourced with `qor` and `ffmpeg` set. It makes a work folder
# (removed at exit, with the player and the X server it started), starts a virtual X server on
# $QOR_E2E_DISPLAY or else on a free display of its own choosing, gives the player a home, data,
# configuration, temporary and runtime folders of its own, and defines the helpers below.
# Exits 77 (skipped) when Xvfb, xdotool or a tool named in E2E_TOOLS is missing.

for tool in Xvfb xdotool ${E2E_TOOLS:-}; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done

work=$(mktemp -d /tmp/qor_e2e.XXXXXX)
failures=0
xvfb_pid=""
qor_pid=""
cleanup() {
    [ -n "$qor_pid" ] && kill -KILL "$qor_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

check() { # check DESCRIPTION COMMAND...
    if "${@:2}"; then
        echo "ok: $1"
    else
        echo "FAILED: $1"
        failures=$((failures + 1))
    fi
}

# Polls a command every 100 ms until it succeeds or the seconds pass.
wait_for() { # wait_for SECONDS COMMAND...
    local deadline=$((SECONDS + $1))
    while ! "${@:2}" 2>/dev/null; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

# Without a display named, Xvfb picks a free one itself and writes its number down once it holds
# it, so that two runs can never choose the same one. On a display named, a server already there
# would answer too, and ours may not yet have found it and quit: ours must be the one whose
# process number is in the display's lock.
if [ -n "${QOR_E2E_DISPLAY:-}" ]; then
    Xvfb "$QOR_E2E_DISPLAY" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    display=$QOR_E2E_DISPLAY
    ours() { [ "$(tr -d ' \n' <"/tmp/.X${display#:}-lock")" = "$xvfb_pid" ]; }
else
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    named() { [ "$(wc -l <"$work/display")" -ge 1 ]; }
    wait_for 10 named
    display=:$(head -1 "$work/display")
    ours() { kill -0 "$xvfb_pid"; }
fi
export DISPLAY=$display
wait_for 10 xdotool getdisplaygeometry >/dev/null && wait_for 5 ours ||
    { echo "Xvfb did not start on $display:"; cat "$work/xvfb.log"; exit 1; }

export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config
export XDG_RUNTIME_DIR=$work/run
export SDL_AUDIODRIVER=dummy
# The single-instance socket lives in the runtime folder: a player the user runs meanwhile is
# neither found nor disturbed.
export TMPDIR=$work/tmp
# The upgrade check asks a closed local port instead of the vendor's site.
export QOR_VENDOR_HOST=127.0.0.1:9
# In the sanitizer build the leak checker's scan at exit takes most of a second and would count
# against the player's exit time; leaks are the unit tests' business.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
unset QT_QPA_PLATFORM
mkdir -p "$HOME" "$TMPDIR"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
log=$XDG_DATA_HOME/QOR/Temp/qor.log
playlist=$XDG_DATA_HOME/QOR/Playlists/__default.mpl

make_clip() { # make_clip NAME SECONDS
    "$ffmpeg" -v error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=$2" \
        -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$2" \
        -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest "$work/$1"
}

# Starts the player in the background (as qor_pid) and waits for "QOR initialized." and its
# window (as window). With E2E_LAUNCHER set (a command and its words), the player runs under it.
start_qor() { # start_qor ARGS...
    rm -f "$log"
    ${E2E_LAUNCHER:-} "$qor" "$@" >>"$work/qor.out" 2>&1 &
    qor_pid=$!
    wait_for 15 grep -q "QOR initialized." "$log" &&
        window=$(wait_for 5 xdotool search --onlyvisible --class qor && xdotool search --onlyvisible --class qor | head -1) &&
        [ -n "$window" ]
}

# Waits up to the seconds for the process to end; true when it did, with its exit status in
# ended_status.
ended_within() { # ended_within SECONDS PID
    ended_status=""
    local deadline=$(($(date +%s%N) + $1 * 1000000000))
    while kill -0 "$2" 2>/dev/null; do
        [ "$(date +%s%N)" -ge $deadline ] && return 1
        sleep 0.02
    done
    wait "$2" 2>/dev/null
    ended_status=$?
    return 0
}

# The default playlist file as the player writes it: UTF-16LE with a byte-order mark, a path a
# line, CR LF.
expected_playlist() { # expected_playlist FILE PATH...
    { printf '\xff\xfe'; [ $# -gt 1 ] && printf '%s\r\n' "${@:2}" | iconv -f UTF-8 -t UTF-16LE; } >"$1"
}

finish() { # the script's last line
    [ $failures -eq 0 ] || {
        echo "$failures check(s) failed; player output:"
        tail -40 "$work/qor.out"
        echo "the X server's on $display:"
        tail -20 "$work/xvfb.log"
        exit 1
    }
    echo "all checks passed"
    exit 0
}
