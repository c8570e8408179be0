#!/usr/bin/env bash
# Starts and stops a private JACK server with the controller emulator on it, for tests.
#
#   jack-fixture.sh start NAME [OPTIONS] SIM [SIM-ARGS...]
#       jackd -n NAME (dummy driver, no realtime), then SIM --midi-api jack SIM-ARGS...
#       --period FRAMES        frames per period (default 512)
#       --silent-client NAME   first a SIM --silent under that client name: ports listed
#                              before the emulator's that never answer; may be given more
#                              than once, for one such client each
#   jack-fixture.sh stop NAME                      stops them all
#
# Clients reach the server with JACK_DEFAULT_SERVER=NAME. Logs and process ids are kept in
# ${TMPDIR:-/tmp}/korvalen-jack-NAME/ (the emulator's id in sim.pid). Every wait is bounded.
#
# JACK keeps at most 8 servers in its shared-memory registry, and a server that dies uncleanly
# keeps its slot. Before a start, the slots of dead servers whose names this fixture makes
# (korvalen-...) are freed by starting and cleanly stopping a server of that name; a stop
# frees its own server's slot the same way if the server died. Servers that are alive, and
# servers of other names, are never touched.
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
    local f
    [ -f "$dir/sim.pid" ] && stop_pid "$(cat "$dir/sim.pid")"
    for f in "$dir"/silent*.pid; do
        [ -f "$f" ] && stop_pid "$(cat "$f")"
    done
    [ -f "$dir/jackd.pid" ] && stop_pid "$(cat "$dir/jackd.pid")"
    rm -f "$dir/sim.pid" "$dir"/silent*.pid "$dir/jackd.pid"
}

registry=/dev/shm/jack-shm-registry

# Prints "PID NAME" for every server in JACK's registry. An entry is a 4-byte process id and
# a 257-byte name ("jack-UID:SERVER:"), padded to 264 bytes, after a 24-byte header.
registry_servers() {
    [ -r "$registry" ] || return 0
    local i off pid entry
    for i in 0 1 2 3 4 5 6 7; do
        off=$((24 + i * 264))
        pid=$(od -A n -t d4 -j "$off" -N 4 "$registry" | tr -d ' ')
        [ -n "$pid" ] && [ "$pid" != 0 ] || continue
        entry=$(tail -c +$((off + 5)) "$registry" | head -c 257 | tr '\0' '\n' | head -n 1 || true)
        entry=${entry#*:}
        echo "$pid ${entry%%:*}"
    done
}

alive() { # PID: running and not a zombie
    kill -0 "$1" 2>/dev/null || return 1
    ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}

# Starts and cleanly stops a server named NAME, which frees the slot a dead one left.
free_slot() { # NAME
    local pid
    echo "jack-fixture: freeing the registry slot of the dead server $1" >&2
    JACK_NO_AUDIO_RESERVATION=1 jackd -n "$1" --no-realtime -d dummy -r 48000 -p 512 \
        >"$dir/free-slot.log" 2>&1 9>&- &
    pid=$!
    for _ in $(seq 100); do
        JACK_DEFAULT_SERVER="$1" jack_lsp >/dev/null 2>&1 && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    stop_pid "$pid"
    wait "$pid" 2>/dev/null || true
}

# Frees the slots of dead servers named korvalen-... (or only of NAME when given).
free_dead_slots() { # [NAME]
    local pid server
    while read -r pid server; do
        case "$server" in korvalen-*) ;; *) continue ;; esac
        [ $# -eq 0 ] || [ "$server" = "$1" ] || continue
        alive "$pid" || free_slot "$server"
    done < <(registry_servers)
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
    free_dead_slots
    export JACK_DEFAULT_SERVER="$name"
    export JACK_NO_AUDIO_RESERVATION=1

    # Synchronous mode (-S): a cycle waits for every client (up to -t ms) instead of going on
    # without a slow one, so that a loaded machine delays MIDI rather than dropping it; periods
    # of 512 frames (10.7 ms) leave the clients time on a busy machine. The server ignores
    # SIGPIPE, so that a client that is killed does not take it down.
    (
        trap '' PIPE
        exec jackd -n "$name" -S -t 5000 --no-realtime -d dummy -r 48000 -p "$period"
    ) >"$dir/jackd.log" 2>&1 9>&- &
    echo $! >"$dir/jackd.pid"
    wait_until "$dir/jackd.pid" jack_lsp || {
        fail "the JACK server $name did not start" "$dir/jackd.log"
        return 1
    }

    local k=0 client
    for client in "${silent[@]}"; do
        k=$((k + 1))
        : >"$dir/silent$k.out"
        "$sim" --midi-api jack --silent --client-name "$client" >"$dir/silent$k.out" \
            2>"$dir/silent$k.log" 9>&- &
        echo $! >"$dir/silent$k.pid"
        wait_until "$dir/silent$k.pid" grep -q '^ready ' "$dir/silent$k.out" || {
            fail "the silent client $client did not get ready" "$dir/silent$k.log"
            return 1
        }
    done

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
    period=512
    silent=()
    while [ $# -ge 2 ]; do
        case "$1" in
        --period) period=$2 ;;
        --silent-client) silent+=("$2") ;;
        *) break ;;
        esac
        shift 2
    done
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
    attempt=1
    waited=0
    while [ $attempt -le 3 ]; do
        if start_once "$@"; then
            started=1
            break
        fi
        # JACK keeps at most eight servers on a machine. When other programs (another test run,
        # say) hold all of them, a slot is waited for, for up to five minutes, with the lock let
        # go so that they can stop; that wait is not an attempt.
        if grep -q 'Too many servers already active' "$dir/jackd.log" 2>/dev/null &&
            [ $waited -lt 300 ]; then
            [ $waited -gt 0 ] || echo "jack-fixture: every JACK server slot is taken; waiting for one" >&2
            flock -u 9
            sleep 5
            waited=$((waited + 5))
            flock -w 120 9 || { echo "jack-fixture: another JACK fixture holds the start lock" >&2; exit 1; }
            continue
        fi
        echo "jack-fixture: start attempt $attempt failed" >&2
        attempt=$((attempt + 1))
    done
    [ $started -eq 1 ] || exit 1
    echo "jack-fixture: server $name up, $(head -n1 "$dir/sim.out")"
    ;;
stop)
    mkdir -p "$dir"
    stop_all
    # A server that died (rather than stopped) left its slot behind.
    exec 9>"${TMPDIR:-/tmp}/korvalen-jack-start.lock"
    flock -w 120 9 || { echo "jack-fixture: another JACK fixture holds the start lock" >&2; exit 1; }
    free_dead_slots "$name"
    echo "jack-fixture: server $name stopped"
    ;;
*)
    usage
    ;;
esac
