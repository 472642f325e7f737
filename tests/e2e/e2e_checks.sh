# The checks the end-to-end scripts share; sourced, it sets `failures` to 0.
failures=0

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
