#!/usr/bin/env bash
# Runs a test program's slot under the desktop's own GTK 3 theme in its dark variant: a private
# virtual X server (the GTK theme needs a display), Qt's gtk3 platform theme and Adwaita:dark.
#
#   gtk-dark.sh PROGRAM [ARGUMENTS...]
#
# The program is told KORVALEN_DESKTOP_THEME=dark and checks itself that the theme took.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: gtk-dark.sh PROGRAM [ARGUMENTS...]" >&2; exit 2; }

work=$(mktemp -d)
xvfb=""
cleanup() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The X server picks a free display and writes its number to fd 3.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
# Waited for as long as the server lives: the test's time-out bounds the wait.
until [ -s "$work/display" ]; do
    kill -0 "$xvfb" 2>/dev/null ||
        { echo "gtk-dark.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
    sleep 0.1
done
export DISPLAY=":$(head -n1 "$work/display")"

# Settings, caches and the library stay in this run's folder; no desktop settings of the
# user's reach the theme.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
unset QT_STYLE_OVERRIDE QT_QPA_PLATFORMTHEME_FALLBACK GTK2_RC_FILES
export QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
export KORVALEN_DESKTOP_THEME=dark
# No session bus: GTK reads no desktop settings over it.
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
"$@"
