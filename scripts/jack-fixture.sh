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

# Runs COMMAND every 0.1 s until it succeeds (true), the process in PIDFILE ends or 10 s
# have passed (false).
wait_until() { # PIDFILE COMMAND...
    local pidfile=$1
    shift
    for _ in $(seq 100); do
        "$@" >/dev/null 2>&1 && return 0
        kill -0 "$(cat "$pidfile")" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Says what failed with the log that tells why, and stops what was started.
fail() { # MESSAGE LOG
    echo "jack-fixture: $1:" >&2
    cat "$2" >&2
    stop_all
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
    wait_until "$dir/jackd.pid" jack_lsp || {
        fail "the JACK server $name did not start" "$dir/jackd.log"
        return 1
    }

    : >"$dir/sim.out"
    "$sim" --midi-api jack "$@" >"$dir/sim.out" 2>"$dir/sim.log" 9>&- &
    echo $! >"$dir/sim.pid"
    wait_until "$dir/sim.pid" grep -q '^ready ' "$dir/sim.out" || {
        fail "the emulator did not get ready" "$dir/sim.log"
        return 1
    }
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
