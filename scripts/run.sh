#!/usr/bin/env bash
# Installs what is missing, builds and starts the editor. Arguments go to the editor,
# for example: scripts/run.sh --midi-api virtual my-preset.sav
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

build=${KORVALEN_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvalen25-editor

# A preset file named on the command line is found from here, before the change of folder.
args=()
for arg in "$@"; do
    case "$arg" in
    -*) ;;
    *.sav | *.SAV) arg=$(realpath -m -- "$arg") ;;
    esac
    args+=("$arg")
done

# The form's style sheet finds "logo.bmp" in the working directory.
cd "$build/Korvalen49_Test"
exec ./korvalen25-editor ${args[@]+"${args[@]}"}
