#!/usr/bin/env bash
# A later start hands its files to the running player, under a virtual X server:
#   instance_e2e.sh QOR_BINARY FFMPEG
# 1. A first start plays clip A. A second start in another folder, given B by a path relative to
#    that folder, exits within 2 s; the first appends B and plays it, and brings its window
#    forward.
# 2. Over the player's socket, a request whose count promises more than it holds, and a writer
#    that stalls inside the header: each connection is closed unanswered (the stalled one after
#    the player's 2 s), logged, and nothing else changes: no load, the player still runs. While
#    the writer stalls, a start without files is answered at once and opens nothing.
# 3. SIGTERM: the default playlist holds A then B, byte for byte.
# Exit 77 (skipped) when Xvfb, xdotool or python3 is missing.
set -uo pipefail
qor=$1
ffmpeg=$2
E2E_TOOLS=python3
# shellcheck source=e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

readonly kWhere="CInstanceChecker::OnNewConnection"
socket=$XDG_RUNTIME_DIR/CInstanceChecker_MMF_QOR

make_clip a.mp4 30 && make_clip b.mp4 30 || { echo "ffmpeg failed"; exit 1; }

loads() { grep "CVeltoSource::Load: Try loading file: " "$log"; }
last_load_is() { [ "$(loads | tail -1 | sed 's/.*Try loading file: //')" = "$1" ]; }

# 1. A plays, started from the home folder; a second start with B, from the clips' folder.
cd "$HOME" || exit 1
check "the first start plays A" start_qor "$work/a.mp4"
check "A is loaded" wait_for 10 last_load_is "$work/a.mp4"
start=$(date +%s%N)
(cd "$work" && exec "$qor" b.mp4 >>"$work/qor.out" 2>&1) &
second=$!
check "the second start exits within 2 s" ended_within 2 $second
echo "second start to exit: $((($(date +%s%N) - start) / 1000000)) ms, status ${ended_status:-none}"
check "the second start exits with status 0" test "${ended_status:-none}" = 0
check "the first instance takes the file" grep -q "$kWhere: another start: 1 file(s) to open" "$log"
check "and brings its window forward" grep -q "$kWhere: another start: main window brought forward" "$log"
check "B, made absolute, is loaded after A" wait_for 5 last_load_is "$work/b.mp4"
loaded=$(loads | wc -l)
sleep 1.5
check "B plays on: nothing else loads ($loaded loads)" test "$(loads | wc -l)" = "$loaded"

# 2. A malformed request and a stalled writer. The client prints, for each connection, whether
# the player answered and how long it kept the connection open.
python3 - "$socket" "$work/a.mp4" >"$work/client.out" <<'EOF' &
import socket, struct, sys, time

path, clip = sys.argv[1], sys.argv[2].encode()

def exchange(data, wait):
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
        s.connect(path)
        s.sendall(data)
        s.settimeout(wait)
        start = time.monotonic()
        try:
            answer = s.recv(16)
        except socket.timeout:
            answer = None
        ms = int((time.monotonic() - start) * 1000)
        state = "timeout" if answer is None else "answered" if answer else "closed"
        return f"{state} {ms}"

# Two paths counted, one sent: a lax reader would append A again and play it.
body = struct.pack(">II", 2, len(clip)) + clip
print("malformed", exchange(b"QOPN" + struct.pack(">II", 1, len(body)) + body, 5), flush=True)
print("stalled", exchange(b"QOP", 5))
EOF
client=$!
# The stalled writer connects right after the malformed request's line.
wait_for 5 grep -q malformed "$work/client.out"
sleep 0.3
"$qor" >>"$work/qor.out" 2>&1 &
check "while a writer stalls, a start without files exits within 2 s" ended_within 2 $!
check "and is answered" test "$(grep -c "$kWhere: another start: main window brought forward" "$log")" = 2
wait $client
client_output=$(cat "$work/client.out")
echo "$client_output"
malformed_state=$(awk '$1 == "malformed" { print $2 }' <<<"$client_output")
stalled_ms=$(awk '$1 == "stalled" && $2 == "closed" { print $3 }' <<<"$client_output")
check "the malformed request is closed unanswered" test "$malformed_state" = closed
check "the malformed request is logged" grep -q "$kWhere: request ignored: malformed (.* bytes: \"QOPN" "$log"
check "the stalled writer is dropped after about 2 s (${stalled_ms:-none} ms)" \
    awk -v ms="${stalled_ms:--1}" 'BEGIN { exit !(ms >= 1500 && ms <= 4000) }'
check "the stalled writer is logged" grep -q "$kWhere: request ignored: no whole request within 2000 ms (3 bytes)" "$log"
check "neither loads anything" test "$(loads | wc -l)" = "$loaded"
check "the player still runs" kill -0 "$qor_pid"

# 3. The playlist: A then B.
expected=$work/expected.mpl
expected_playlist "$expected" "$work/a.mp4" "$work/b.mp4"
kill -TERM "$qor_pid"
check "SIGTERM ends the player within 2 s" ended_within 2 "$qor_pid"
qor_pid=""
check "the default playlist holds A then B, byte for byte" cmp "$expected" "$playlist"

finish
