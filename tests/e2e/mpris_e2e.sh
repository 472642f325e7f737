#!/usr/bin/env bash
# The real player as a desktop media player (MPRIS) on a private session bus, under a virtual X
# server:
#   mpris_e2e.sh QOR_BINARY FFMPEG
# 1. A bus of the test's own (its own configuration: one socket in the work folder, nothing
#    activated); only the player is pointed at it. The default playlist holds A and B; the player
#    starts without files and owns org.mpris.MediaPlayer2.qor.
# 2. Play: A loads and PlaybackStatus is "Playing"; Metadata has A's title, URL and length.
#    PlayPause: "Paused", announced in a PropertiesChanged signal; PlayPause again plays on.
#    SetPosition to 20 s moves the position there and sends Seeked, Seek goes 10 s back, a stale
#    track id is ignored. Volume is set and announced.
# 3. Next plays B, the next row. LoopStatus "None" on the last row: no next; "Playlist": the loop
#    mode is back to the playlist loop and there is a next again. Shuffle on and off. An unknown
#    LoopStatus changes nothing.
# 4. OpenUri: an http URL is refused and nothing loads; a file:// URL of C, a sound file with a
#    cover picture, appends C and plays it; its Metadata's artUrl names the picture, written to
#    the player's runtime folder for the user alone (A had no artUrl).
# 5. Quit: the player ends, the cover file is gone, and the default playlist holds A, B, C.
# 6. A start whose bus address points nowhere, and one without any bus: one log line each, and
#    the player plays (a 2 s clip in the playlist loop plays to its end and loads again).
# Exit 77 (skipped) when Xvfb, xdotool or a D-Bus tool is missing.
set -uo pipefail
qor=$1
ffmpeg=$2
E2E_TOOLS="dbus-daemon dbus-send dbus-monitor"
# shellcheck source=e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

readonly kName=org.mpris.MediaPlayer2.qor kPath=/org/mpris/MediaPlayer2
readonly kPlayer=org.mpris.MediaPlayer2.Player
# Nothing the test runs may reach the user's own bus.
unset DBUS_SESSION_BUS_ADDRESS

bus_pid="" monitor_pid=""
trap '[ -n "$monitor_pid" ] && kill "$monitor_pid" 2>/dev/null
      [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
      cleanup' EXIT

make_cover_clip() { # make_cover_clip NAME SECONDS: sound with a 64 x 64 red JPEG as its cover
    "$ffmpeg" -v error -y -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$2" \
        -f lavfi -i "color=red:size=64x64:duration=1" -map 0:a -map 1:v -frames:v 1 \
        -c:a libmp3lame -c:v mjpeg -pix_fmt yuvj420p -disposition:v attached_pic "$work/$1"
}
make_clip a.mp4 30 && make_clip b.mp4 30 && make_cover_clip c.mp3 30 && make_clip short.mp4 2 ||
    { echo "ffmpeg failed"; exit 1; }

# 1. The bus.
bus=unix:path=$work/bus
cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>$bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$work/bus.conf" --nofork >"$work/bus.log" 2>&1 &
bus_pid=$!
wait_for 5 test -S "$work/bus" || { echo "dbus-daemon did not start"; exit 1; }

call() { # call METHOD ARGS...: a method of the bus object or the player, its reply printed
    dbus-send --bus="$bus" --print-reply --reply-timeout=3000 "$@"
}
player() { call --dest=$kName $kPath "$kPlayer.$1" "${@:2}"; }
get() { # get PROPERTY: the value's line(s) of the player's property
    call --dest=$kName $kPath org.freedesktop.DBus.Properties.Get string:$kPlayer "string:$1" |
        tail -n +2
}
set_property() { # set_property PROPERTY VARIANT
    call --dest=$kName $kPath org.freedesktop.DBus.Properties.Set string:$kPlayer "string:$1" "$2" \
        >/dev/null
}
# property_is PROPERTY PATTERN: the property's value matches (grep).
property_is() { get "$1" | grep -q "$2"; }
status_is() { property_is PlaybackStatus "\"$1\""; }
# metadata_has KEY PATTERN: the line after the key in the last saved Metadata matches.
metadata_has() { grep -A1 "\"$1\"" "$work/metadata.out" | grep -q "$2"; }
# signalled MEMBER PATTERN LINES: a signal of that member seen by the monitor whose next lines
# match.
signalled() { grep -A"$3" "member=$1" "$work/monitor.out" | grep -q "$2"; }
loads() { grep "CVeltoSource::Load: Try loading file: " "$log" | sed 's/.*Try loading file: //'; }
last_load_is() { [ "$(loads | tail -1)" = "$1" ]; }
# The player's position in whole seconds.
position() { get Position | awk '/int64/ { print int($3 / 1000000) }'; }
position_between() { local p; p=$(position); [ -n "$p" ] && [ "$p" -ge "$1" ] && [ "$p" -le "$2" ]; }

mkdir -p "$(dirname "$playlist")"
expected_playlist "$playlist" "$work/a.mp4" "$work/b.mp4"
DBUS_SESSION_BUS_ADDRESS=$bus start_qor
check "the player starts on the private bus" kill -0 "$qor_pid"
owner=$(call --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:$kName 2>/dev/null | awk '/uint32/ { print $2 }')
check "the player owns $kName (owner pid ${owner:-none}, player $qor_pid)" test "${owner:-none}" = "$qor_pid"
check "the log names the bus name" grep -q "CMprisService: on the session bus as $kName" "$log"
desktop_entry() {
    call --dest=$kName $kPath org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2 \
        string:DesktopEntry | grep -q '"qor"'
}
check "the root interface names the desktop entry" desktop_entry
check "nothing plays yet: Stopped" status_is Stopped

# Every PropertiesChanged and Seeked of the player from here on.
dbus-monitor --address "$bus" "type='signal',path='$kPath'" >"$work/monitor.out" 2>&1 &
monitor_pid=$!
sleep 0.5

# 2. Play, metadata, pause, position.
player Play >/dev/null
check "Play loads A, the first row" wait_for 10 last_load_is "$work/a.mp4"
check "PlaybackStatus is Playing" wait_for 5 status_is Playing
get Metadata >"$work/metadata.out"
check "Metadata has A's title" metadata_has xesam:title '"a.mp4"'
check "Metadata has A's URL" metadata_has xesam:url "\"file://$work/a.mp4\""
length=$(grep -A1 '"mpris:length"' "$work/metadata.out" | awk '/int64/ { print $3 }')
check "Metadata has A's length in microseconds (${length:-none})" \
    awk -v l="${length:-0}" 'BEGIN { exit !(l >= 29500000 && l <= 30500000) }'
track=$(grep -A1 '"mpris:trackid"' "$work/metadata.out" | awk '/object path/ { gsub(/"/, "", $4); print $4 }')
check "Metadata has a track id (${track:-none})" test -n "$track"
check "A carries no cover: no artUrl" test "$(grep -c '"mpris:artUrl"' "$work/metadata.out")" = 0

player PlayPause >/dev/null
check "PlayPause pauses" wait_for 3 status_is Paused
check "and PropertiesChanged announces Paused" wait_for 3 \
    signalled PropertiesChanged 'string "Paused"' 12
player PlayPause >/dev/null
check "PlayPause again plays on" wait_for 3 status_is Playing

player SetPosition "objpath:$track" int64:20000000 >/dev/null
check "SetPosition moves the position to 20 s ($(position) s)" wait_for 3 position_between 20 23
check "and Seeked is sent" wait_for 3 signalled Seeked "int64 2[0-9]000000" 1
player Seek int64:-10000000 >/dev/null
check "Seek 10 s back moves the position to 10 s ($(position) s)" wait_for 3 position_between 10 13
player SetPosition objpath:/org/qor/track/999 int64:5000000 >/dev/null
sleep 0.5
check "SetPosition of another track is ignored ($(position) s)" position_between 10 14
check "and logged" grep -q "CMprisPlayer::SetPosition: ignored" "$log"

set_property Volume variant:double:0.25
check "Volume 0.25 reads back" property_is Volume "double 0.25"
check "and is announced" wait_for 3 signalled PropertiesChanged "double 0.25" 6

# 3. Next and the loop mode.
player Next >/dev/null
check "Next plays B, the next row" wait_for 5 last_load_is "$work/b.mp4"
check "B plays" wait_for 5 status_is Playing
get Metadata >"$work/metadata.out"
check "Metadata names B" metadata_has xesam:title '"b.mp4"'
set_property LoopStatus variant:string:None
check "LoopStatus None reads back" property_is LoopStatus '"None"'
check "on the last row of a playlist played once there is no next" \
    property_is CanGoNext "boolean false"
set_property LoopStatus variant:string:Playlist
check "LoopStatus Playlist reads back" property_is LoopStatus '"Playlist"'
check "the playlist loop has a next row again" property_is CanGoNext "boolean true"
check "PropertiesChanged announced the loop status" \
    wait_for 3 signalled PropertiesChanged 'string "Playlist"' 20
set_property Shuffle variant:boolean:true
check "Shuffle on reads back" property_is Shuffle "boolean true"
check "and the loop status stays Playlist" property_is LoopStatus '"Playlist"'
set_property Shuffle variant:boolean:false
check "Shuffle off reads back" property_is Shuffle "boolean false"
set_property LoopStatus variant:string:Sometimes
check "an unknown LoopStatus changes nothing" property_is LoopStatus '"Playlist"'
check "and is logged" grep -q 'CMprisPlayer::SetLoopStatus: no such loop status: "Sometimes"' "$log"

# 4. OpenUri.
loaded=$(loads | wc -l)
player OpenUri string:http://127.0.0.1:9/c.mp4 >/dev/null
sleep 1
check "OpenUri refuses an http URL" grep -q 'CMprisPlayer::OpenUri: refused, not a local file: "http://127.0.0.1:9/c.mp4"' "$log"
check "and loads nothing" test "$(loads | wc -l)" = "$loaded"
player OpenUri "string:file://$work/c.mp3" >/dev/null
check "OpenUri of a local file appends C and plays it" wait_for 5 last_load_is "$work/c.mp3"
check "C plays" wait_for 5 status_is Playing
get Metadata >"$work/metadata.out"
art=$(grep -A1 '"mpris:artUrl"' "$work/metadata.out" | awk -F'"' '/variant/ { print $2 }')
cover=${art#file://}
check "C's artUrl names a file in the player's runtime folder (${art:-none})" \
    test "$(dirname "${cover:-/none/x}")" = "$XDG_RUNTIME_DIR"
check "readable by the user alone" test "$(stat -c %a "${cover:-/none}" 2>/dev/null)" = 600
check "holding C's JPEG picture" test "$(head -c 2 "${cover:-/dev/null}" | od -An -tx1 | tr -d ' ')" = ffd8

# 5. Quit.
player_pid=$qor_pid
call --dest=$kName $kPath org.mpris.MediaPlayer2.Quit >/dev/null
check "Quit ends the player within 3 s" ended_within 3 "$player_pid"
check "with status 0" test "${ended_status:-none}" = 0
qor_pid=""
expected=$work/expected.mpl
expected_playlist "$expected" "$work/a.mp4" "$work/b.mp4" "$work/c.mp3"
check "the default playlist holds A, B, C, byte for byte" cmp "$expected" "$playlist"
check "the cover file is gone" test ! -e "${cover:-/none}"
name_gone() {
    call --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner \
        string:$kName | grep -q "boolean false"
}
check "the name is gone from the bus" name_gone

# 6. No bus. The player's own runtime folder holds no bus socket.
bus_lines() { grep -c "CMprisService" "$log"; }
expected_playlist "$playlist"
DBUS_SESSION_BUS_ADDRESS=unix:path=$work/nowhere start_qor
check "with a bus address pointing nowhere the player starts" kill -0 "$qor_pid"
check "and logs one line about it" test "$(bus_lines)" = 1
check "which says so" grep -q "CMprisService: no session bus at unix:path=$work/nowhere" "$log"
kill -TERM "$qor_pid"
ended_within 3 "$qor_pid"
qor_pid=""

expected_playlist "$playlist"
start=$(date +%s%N)
start_qor "$work/short.mp4"
echo "start without a bus to initialised: $((($(date +%s%N) - start) / 1000000)) ms"
check "without any bus the player starts" kill -0 "$qor_pid"
check "and logs one line about it" test "$(bus_lines)" = 1
check "which says so" grep -q "CMprisService: no session bus: " "$log"
twice() { [ "$(loads | grep -c "$work/short.mp4")" -ge 2 ]; }
check "the 2 s clip plays to its end and loads again" wait_for 10 twice
kill -TERM "$qor_pid"
check "SIGTERM ends it" ended_within 3 "$qor_pid"
qor_pid=""

finish
