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

/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/bus.log" 2>&1 &
pids+=($!)

# The X server picks a free display and writes its number to fd 3.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "run.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
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

status=0
/usr/bin/python3 "$here/walk_tree.py" "$mode" || status=$?
if [ $status -ne 0 ]; then
    echo "--- editor output" >&2
    tail -n 30 "$work/editor.log" >&2 || true
fi
exit $status
