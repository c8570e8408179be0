#!/usr/bin/env bash
# A screen reader's view of the editor: starts a D-Bus session, the accessibility bus, a
# virtual X server and the editor with its accessibility always on, then walks the tree.
#
#   run.sh EDITOR pages     # every page and dialog, against the built-in controller emulator
#   run.sh EDITOR search    # the search window, with no MIDI at all
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 2 ] || { echo "usage: run.sh EDITOR pages|search" >&2; exit 2; }
editor=$1 mode=$2

if [ -z "${KORVALEN_A11Y_INSIDE:-}" ]; then
    export KORVALEN_A11Y_INSIDE=1
    exec dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# The accessibility bus keeps its socket under the runtime folder (or ~/.cache): each run has
# its own, so that two runs side by side never share a bus.
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME"
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/bus.log" 2>&1 &
pids+=($!)
launcher=$!
# The accessibility bus is there once the launcher owns its name on the session bus; a client
# that comes earlier gives up. Asked without starting the service (a second launcher), and
# waited for as long as the launcher lives: the test's time-out bounds the wait.
until dbus-send --session --dest=org.freedesktop.DBus --print-reply /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'; do
    kill -0 "$launcher" 2>/dev/null ||
        { echo "run.sh: the accessibility bus did not start" >&2; cat "$work/bus.log" >&2; exit 1; }
    sleep 0.2
done

# The X server picks a free display and writes its number to fd 3.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
xvfb=$!
# Waited for as long as the server lives: the test's time-out bounds the wait.
until [ -s "$work/display" ]; do
    kill -0 "$xvfb" 2>/dev/null ||
        { echo "run.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
    sleep 0.1
done
export DISPLAY=":$(head -n1 "$work/display")"

# The editor's settings, library and snapshots stay in this run's folder.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export KORVALEN_HISTORY_DIR="$work/history"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset QT_QPA_PLATFORMTHEME
api=virtual
[ "$mode" = search ] && api=none
"$editor" --midi-api "$api" >"$work/editor.log" 2>&1 &
pids+=($!)
export KORVALEN_EDITOR_PID=$!

status=0
/usr/bin/python3 "$here/walk_tree.py" "$mode" || status=$?
if [ $status -ne 0 ]; then
    echo "--- editor output" >&2
    tail -n 60 "$work/editor.log" >&2 || true
fi
exit $status
