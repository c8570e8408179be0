#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address + undefined, no Qt) in build-fuzz and runs each
# for SECONDS seconds, starting from its seed corpus in fuzz/corpus/TARGET plus whatever earlier
# runs here added in fuzz/corpus-run/TARGET (not committed). Fails when a target crashes or
# breaks one of its properties; the input that did it is kept in build-fuzz/artifacts/ and
# printed, to be turned into a regression test.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (default: 30 seconds, every target)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_dumpparser fuzz_presetfile fuzz_firmware fuzz_upgradeinput fuzz_messagedecoder fuzz_presetsyx)
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "usage: $0 [SECONDS] [TARGET...]" >&2; exit 2; }

# Largest input per target: enough for several dumps or a few hundred firmware blocks, small
# enough to keep the runs fast.
max_len() {
    case "$1" in
    fuzz_presetfile) echo 600 ;;
    fuzz_upgradeinput) echo 2048 ;;
    fuzz_presetsyx) echo 8192 ;; # a whole preset's download is about 4.5 kB
    *) echo 4096 ;;
    esac
}

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DKORVALEN_WERROR=ON -DKORVALEN_FUZZ=ON -DKORVALEN_BUILD_GUI=OFF \
    "-DKORVALEN_SANITIZE=address;undefined" >/dev/null
cmake --build "$build" -j"${KORVALEN_JOBS:-$(nproc)}" --target "${targets[@]}"

mkdir -p "$build/artifacts"
failed=()
for t in "${targets[@]}"; do
    corpus=fuzz/corpus-run/$t
    mkdir -p "$corpus"
    echo "fuzz: $t for ${seconds}s"
    log=$build/artifacts/$t.log
    if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$build/fuzz/$t" -max_total_time="$seconds" -max_len="$(max_len "$t")" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" \
        "$corpus" "fuzz/corpus/$t" >"$log" 2>&1; then
        grep -E '^stat::number_of_executed_units|^Done' "$log" | tail -1 | sed "s/^/fuzz: $t: /"
    else
        failed+=("$t")
        echo "fuzz: $t FAILED; the end of its log ($log):"
        grep -E 'property broken|ERROR|SUMMARY|Test unit written|Base64' "$log" | tail -8
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: failures in ${failed[*]}" >&2
    exit 1
fi
echo "fuzz: no crash in ${targets[*]}"
