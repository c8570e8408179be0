#!/usr/bin/env bash
# Starts and stops a private PipeWire server, headless, with the controller emulator on it
# through PipeWire's JACK library, for tests; runs programs against it.
#
#   pipewire-fixture.sh start NAME SIM [SIM-ARGS...]
#       pipewire with a configuration of its own (a dummy driver, no session manager, no
#       devices), then SIM --midi-api jack SIM-ARGS... through pw-jack
#   pipewire-fixture.sh run NAME PROGRAM [ARGS...]
#       PROGRAM through pw-jack, against that server
#   pipewire-fixture.sh stop NAME                  stops them all and removes their folder
#
# Everything lives in ${TMPDIR:-/tmp}/korvalen-pw-NAME/: the server's socket (a private
# XDG_RUNTIME_DIR), its configuration, the logs and the process ids (the emulator's in
# sim.pid). Without a session manager nothing links nodes for us: our programs link their
# own ports through the JACK API. Every wait is bounded.
set -euo pipefail

usage() {
    echo "usage: $0 start NAME SIM [SIM-ARGS...] | run NAME PROGRAM [ARGS...] | stop NAME" >&2
    exit 2
}

[ $# -ge 2 ] || usage
action=$1
name=$2
shift 2
dir="${TMPDIR:-/tmp}/korvalen-pw-$name"

# The environment of every program on this server.
use_server() {
    # PipeWire's threads and those of its JACK clients run in real time when the limit allows
    # it (there is no rtkit here); where it cannot be raised they run without.
    ulimit -r 95 2>/dev/null || true
    export XDG_RUNTIME_DIR="$dir/run"
    export PIPEWIRE_RUNTIME_DIR="$dir/run"
    export PIPEWIRE_REMOTE=pipewire-0
    # PipeWire's JACK library does not read it; tests take it as the sign of a server.
    export JACK_DEFAULT_SERVER="korvalen-pw-$name"
    unset PIPEWIRE_LATENCY PIPEWIRE_QUANTUM
    # Under the address sanitizer, PipeWire's own libraries keep memory until the program ends.
    printf '%s\n' 'leak:libpipewire-0.3.so' 'leak:pipewire-0.3/jack/libjack.so' 'leak:libspa-' \
        >"$dir/lsan.supp"
    export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$dir/lsan.supp"
}

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
    [ -f "$dir/pipewire.pid" ] && stop_pid "$(cat "$dir/pipewire.pid")"
    rm -f "$dir/sim.pid" "$dir/pipewire.pid"
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

fail() { # MESSAGE LOG
    echo "pipewire-fixture: $1:" >&2
    cat "$2" >&2
    stop_all
}

# A headless server: the protocol, the client nodes of PipeWire's JACK library, links made by
# clients, and a dummy driver that runs the graph at 48 kHz in cycles of 1024 frames unless a
# client asks for others. Realtime scheduling where the system allows it.
write_config() {
    cat >"$dir/pipewire.conf" <<'EOF'
context.properties = {
    core.daemon = true
    core.name = pipewire-0
    default.clock.rate = 48000
    default.clock.quantum = 1024
    default.clock.min-quantum = 16
    default.clock.max-quantum = 2048
    log.level = 2
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-rt args = { nice.level = -11 } flags = [ ifexists nofail ] }
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-access }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
]
context.objects = [
    { factory = spa-node-factory
        args = {
            factory.name = support.node.driver
            node.name = Dummy-Driver
            node.group = pipewire.dummy
            priority.driver = 20000
        }
    }
]
EOF
}

start_once() {
    stop_all # whatever a previous run left behind
    rm -rf "$dir/run"
    mkdir -p "$dir/run"
    chmod 700 "$dir/run"
    write_config
    use_server
    pipewire -c "$dir/pipewire.conf" >"$dir/pipewire.log" 2>&1 &
    echo $! >"$dir/pipewire.pid"
    wait_until "$dir/pipewire.pid" test -S "$dir/run/pipewire-0" || {
        fail "the PipeWire server $name did not start" "$dir/pipewire.log"
        return 1
    }
    : >"$dir/sim.out"
    pw-jack "$sim" --midi-api jack "$@" >"$dir/sim.out" 2>"$dir/sim.log" &
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
    for tool in pipewire pw-jack; do
        command -v "$tool" >/dev/null ||
            { echo "pipewire-fixture: $tool is not installed" >&2; exit 1; }
    done
    [ -x "$sim" ] || { echo "pipewire-fixture: $sim is not a program" >&2; exit 1; }
    mkdir -p "$dir"
    started=0
    for attempt in 1 2 3; do
        if start_once "$@"; then
            started=1
            break
        fi
        echo "pipewire-fixture: start attempt $attempt failed" >&2
    done
    [ $started -eq 1 ] || exit 1
    echo "pipewire-fixture: server $name up, $(head -n1 "$dir/sim.out")"
    ;;
run)
    [ $# -ge 1 ] || usage
    [ -S "$dir/run/pipewire-0" ] || { echo "pipewire-fixture: server $name is not running" >&2; exit 1; }
    use_server
    exec pw-jack "$@"
    ;;
stop)
    stop_all
    rm -rf "$dir"
    echo "pipewire-fixture: server $name stopped"
    ;;
*)
    usage
    ;;
esac
