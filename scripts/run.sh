#!/usr/bin/env bash
# Installs what is missing, builds and starts the editor. Arguments go to the editor,
# for example: scripts/run.sh --midi-api virtual
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

build=${KORVALEN_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvalen25-editor

# The form's style sheet finds "logo.bmp" in the working directory.
cd "$build/Korvalen49_Test"
exec ./korvalen25-editor "$@"
