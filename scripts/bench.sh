#!/usr/bin/env bash
# Builds the benchmarks (Release, build-bench) and prints one table of their figures, each
# beside a baseline measured in the same run where the figure depends on the machine.
#
#   scripts/bench.sh [RUNS]   (default 7 start-ups and 15 downloads; the other counts follow)
#
# The start-up over JACK runs against a private JACK server in synchronous mode, started by
# scripts/jack-fixture.sh with the controller emulator on it; for its second row eight
# emulators that never answer (korvalen25-sim --silent) are listed before it, and its figure is
# compared with the first row's. The flash over PipeWire's JACK runs on a private PipeWire
# server (scripts/pipewire-fixture.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

runs=${1:-}
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVALEN_WERROR=ON >/dev/null
cmake --build "$build" -j"${KORVALEN_JOBS:-$(nproc)}" --target bench_startup bench_editor \
    korvalen25-sim korvalen25-cli

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

# A 64 KiB flash by korvalen25-cli into the emulator over PipeWire's JACK (a private headless
# server, scripts/pipewire-fixture.sh, at its own cycle), against the same flash over jackd at
# 256 frames; each flash checked byte for byte.
flash_row() {
    local image=$PWD/$build/bench-flash-64k.bin written=$PWD/$build/bench-flash-written.bin
    local pw=bench-$(echo -n "$PWD/$build" | md5sum | cut -c1-8) t0 jackd_s=failed pw_s=failed
    local cli=$PWD/$build/cli/korvalen25-cli
    python3 -c 'import sys
body = bytes((i * 7 + 3) & 0xFF for i in range(65536))
sys.stdout.buffer.write(body + bytes.fromhex("00206B0219") + b"102\0\0QVolm")' >"$image"
    flashed() { # the emulator writes the image once it has the last block: up to 5 s
        for _ in $(seq 50); do
            cmp -s <(head -c 65536 "$image") "$written" && return 0
            sleep 0.1
        done
        return 1
    }
    rm -f "$written"
    if scripts/jack-fixture.sh start "$server" --period 256 "$sim" --upgrade \
        --image-out "$written" >/dev/null; then
        t0=$(date +%s.%N)
        if JACK_DEFAULT_SERVER=$server JACK_NO_AUDIO_RESERVATION=1 \
            "$cli" --midi-api jack flash "$image" >/dev/null 2>&1 && flashed; then
            jackd_s=$(echo "$(date +%s.%N) - $t0" | bc)
        else
            echo "bench: the flash over jackd failed" >&2
        fi
    fi
    scripts/jack-fixture.sh stop "$server" >/dev/null || true
    rm -f "$written"
    if scripts/pipewire-fixture.sh start "$pw" "$sim" --upgrade --image-out "$written" \
        >/dev/null; then
        t0=$(date +%s.%N)
        if scripts/pipewire-fixture.sh run "$pw" "$cli" --midi-api jack flash "$image" \
            >/dev/null 2>&1 && flashed; then
            pw_s=$(echo "$(date +%s.%N) - $t0" | bc)
        else
            echo "bench: the flash over PipeWire failed" >&2
        fi
    fi
    scripts/pipewire-fixture.sh stop "$pw" >/dev/null || true
    rm -f "$image" "$written"
    # A flash that failed is shown as such, with the goal not met.
    awk -v p="$pw_s" -v j="$jackd_s" 'BEGIN {
        label = "Flash 64 KiB over PipeWire : jackd at 256 frames"
        if (p == "failed" || j == "failed") {
            printf "ROW|%s|%s|%s|-|ratio <= 1.0|NOT MET\n", label,
                (p == "failed" ? "failed" : sprintf("%.1f s", p)),
                (j == "failed" ? "failed" : sprintf("%.1f s", j))
            exit 1
        }
        printf "ROW|%s|%.1f s|%.1f s|%.2f|ratio <= 1.0|%s\n", label, p, j, p / j,
            (p / j <= 1.0 ? "met" : "NOT MET") }' | tee -a "$out" | grep -v '^ROW|' || true
    [ "$pw_s" != failed ] && [ "$jackd_s" != failed ]
}
flash_row || status=1

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
