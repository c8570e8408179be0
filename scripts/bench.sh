#!/usr/bin/env bash
# Builds the benchmarks (Release, build-bench) and prints one table of their figures, each
# beside a baseline measured in the same run where the figure depends on the machine.
#
#   scripts/bench.sh [RUNS]   (default 7 start-ups and 15 downloads; the other counts follow)
#
# The start-up over JACK runs against a private JACK server in synchronous mode, started by
# scripts/jack-fixture.sh with the controller emulator on it; for its second row eight
# emulators that never answer (korvalen25-sim --silent) are listed before it, and its figure is
# compared with the first row's.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

runs=${1:-}
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVALEN_WERROR=ON >/dev/null
cmake --build "$build" -j"${KORVALEN_JOBS:-$(nproc)}" --target bench_startup bench_editor \
    korvalen25-sim

export QT_QPA_PLATFORM=offscreen
out=$build/bench-output.txt
: >"$out"
status=0
# Start-up first, while the machine is as quiet as it gets.
"$build/bench/bench_startup" ${runs:+"$runs"} | tee -a "$out" | grep -v '^ROW|' || status=1

# Start-up over JACK: one server at a time, named after this build folder.
server=korvalen-bench-$(echo -n "$PWD/$build" | md5sum | cut -c1-8)
sim=$PWD/$build/sim/korvalen25-sim
trap 'scripts/jack-fixture.sh stop "$server" >/dev/null 2>&1 || true' EXIT
over_jack() { # LABEL [FIXTURE-OPTIONS...]
    local label=$1
    shift
    if scripts/jack-fixture.sh start "$server" "$@" "$sim" >/dev/null; then
        JACK_DEFAULT_SERVER=$server JACK_NO_AUDIO_RESERVATION=1 \
            "$build/bench/bench_startup" --over-jack "$label" ${runs:+"$runs"} |
            tee -a "$out" | grep -v '^ROW|' || status=1
    else
        status=1
    fi
    scripts/jack-fixture.sh stop "$server" >/dev/null || true
}
over_jack "Start-up over JACK to preset 0 shown"
# The row with silent ports is measured against the controller alone, just above.
KORVALEN_BENCH_JACK_ALONE_MS=$(grep '^ROW|Start-up over JACK' "$out" | cut -d'|' -f3 | cut -d' ' -f1 || true)
export KORVALEN_BENCH_JACK_ALONE_MS
quiet=()
for k in 1 2 3 4 5 6 7 8; do quiet+=(--silent-client "Quiet$k"); done
over_jack "  the same, 8 silent port pairs first" "${quiet[@]}"
"$build/bench/bench_editor" ${runs:+"$runs"} | tee -a "$out" | grep -v '^ROW|' || status=1

echo
{
    echo "Benchmark|Editor|Baseline|Ratio|Goal|Goal met"
    grep '^ROW|' "$out" | cut -d'|' -f2-
} | awk -F'|' '
    { for (i = 1; i <= NF; ++i) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } n = NR; m = (NF > m ? NF : m) }
    END {
        for (r = 1; r <= n; ++r) {
            line = "|"
            for (i = 1; i <= m; ++i) line = line " " sprintf("%-" w[i] "s", cell[r, i]) " |"
            print line
            if (r == 1) { line = "|"; for (i = 1; i <= m; ++i) { d = ""; for (k = 0; k < w[i] + 2; ++k) d = d "-"; line = line d "|" } print line }
        }
    }'
echo
echo "Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; medians; QT_QPA_PLATFORM=offscreen."
exit $status
