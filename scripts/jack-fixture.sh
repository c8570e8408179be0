#!/usr/bin/env bash
# Starts and stops a private JACK server with the controller emulator on it, for tests.
#
#   jack-fixture.sh start NAME SIM [SIM-ARGS...]   jackd -n NAME (dummy driver, no realtime),
#                                                  then SIM --midi-api jack SIM-ARGS...
#   jack-fixture.sh stop NAME                      stops both
#
# Clients reach the server with JACK_DEFAULT_SERVER=NAME. Logs and process ids are kept in
# ${TMPDIR:-/tmp}/korvalen-jack-NAME/. Every wait is bounded.
set -euo pipefail

usage() {
    echo "usage: $0 start NAME SIM [SIM-ARGS...] | stop NAME" >&2
    exit 2
}

[ $# -ge 2 ] || usage
action=$1
name=$2
shift 2
dir="${TMPDIR:-/tmp}/korvalen-jack-$name"

# Sends TERM to a process, waits up to 5 s for it to end, then KILLs it.
stop_pid() {
    local pid=$1
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
}

stop_all() {
    [ -f "$dir/sim.pid" ] && stop_pid "$(cat "$dir/sim.pid")"
    [ -f "$dir/jackd.pid" ] && stop_pid "$(cat "$dir/jackd.pid")"
    rm -f "$dir/sim.pid" "$dir/jackd.pid"
}

start_once() {
    stop_all # whatever a previous run left behind
    export JACK_DEFAULT_SERVER="$name"
    export JACK_NO_AUDIO_RESERVATION=1

    # Synchronous mode (-S): a cycle waits for every client (up to -t ms) instead of going on
    # without a slow one, so that a loaded machine delays MIDI rather than dropping it; periods
    # of 512 frames (10.7 ms) leave the clients time on a busy machine.
    jackd -n "$name" -S -t 5000 --no-realtime -d dummy -r 48000 -p 512 >"$dir/jackd.log" 2>&1 9>&- &
    echo $! >"$dir/jackd.pid"
    up=0
    for _ in $(seq 100); do # 10 s
        if jack_lsp >/dev/null 2>&1; then
            up=1
            break
        fi
        kill -0 "$(cat "$dir/jackd.pid")" 2>/dev/null || break
        sleep 0.1
    done
    if [ $up -ne 1 ]; then
        echo "jack-fixture: the JACK server $name did not start:" >&2
        cat "$dir/jackd.log" >&2
        stop_all
        return 1
    fi

    : >"$dir/sim.out"
    "$sim" --midi-api jack "$@" >"$dir/sim.out" 2>"$dir/sim.log" 9>&- &
    echo $! >"$dir/sim.pid"
    ready=0
    for _ in $(seq 100); do # 10 s
        if grep -q '^ready ' "$dir/sim.out"; then
            ready=1
            break
        fi
        kill -0 "$(cat "$dir/sim.pid")" 2>/dev/null || break
        sleep 0.1
    done
    if [ $ready -ne 1 ]; then
        echo "jack-fixture: the emulator did not get ready:" >&2
        cat "$dir/sim.log" >&2
        stop_all
        return 1
    fi
}

case "$action" in
start)
    [ $# -ge 1 ] || usage
    sim=$1
    shift
    command -v jackd >/dev/null || { echo "jack-fixture: jackd is not installed" >&2; exit 1; }
    [ -x "$sim" ] || { echo "jack-fixture: $sim is not a program" >&2; exit 1; }
    mkdir -p "$dir"
    # Starts are taken one at a time on this machine (the lock goes with this script's exit),
    # and a start that fails (a loaded machine, a client that loses its server socket) is tried
    # again from scratch.
    exec 9>"${TMPDIR:-/tmp}/korvalen-jack-start.lock"
    flock -w 120 9 || { echo "jack-fixture: another JACK fixture holds the start lock" >&2; exit 1; }
    started=0
    for attempt in 1 2 3; do
        if start_once "$@"; then
            started=1
            break
        fi
        echo "jack-fixture: start attempt $attempt failed" >&2
    done
    [ $started -eq 1 ] || exit 1
    echo "jack-fixture: server $name up, $(head -n1 "$dir/sim.out")"
    ;;
stop)
    stop_all
    echo "jack-fixture: server $name stopped"
    ;;
*)
    usage
    ;;
esac
