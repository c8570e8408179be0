#!/usr/bin/env bash
# Builds and runs the tests under the sanitizers:
#   build-asan  address + undefined, the whole test suite but the ALSA test bed (label alsa: a
#               virtual machine that takes minutes under emulation)
#   build-tsan  thread, the tests that run several threads against each other: the device
#               link, the upgrade worker, the transfer commands, the platform layer and the
#               end-to-end tests over JACK (only the targets those tests need are built)
# Every fault ends the test that meets it (-fno-sanitize-recover), so a clean run is a pass.
#
#   scripts/sanitize.sh [asan|tsan]...   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=${KORVALEN_JOBS:-$(nproc)}
steps=("$@")
[ ${#steps[@]} -eq 0 ] && steps=(asan tsan)

# Tests run under the thread sanitizer, by CTest name: those on the virtual bus, and those
# over a JACK server (which need other sanitizer settings, see run_tsan).
tsan_virtual='^(link|upgrade|transfer)\.|^cli\.tst_clicommands$|^sim\.tst_emulator$|^platform\.(tst_virtualbus|tst_devicesearch|tst_twocontrollers|tst_traffictap)$|^core\.tst_dumpparser$'
# Not e2e.test_e2e_upgrade: the upgrade search allows a reply 50 ms of real time, and with both
# the editor and korvalen25-sim instrumented the round trip through JACK takes longer, so the
# run ends before it flashes. The worker's threads are checked by upgrade.test_upgrade.
tsan_jack='^e2e\.(test_e2e_link|test_e2e_transfer)$|^platform\.(tst_platformselect|tst_jackplatform)$|^sim\.tst_simprogram$'

export QT_QPA_PLATFORM=offscreen

configure() { # build-dir sanitizers
    # -O1 keeps the instrumented tests quick without the compile time of -O2.
    cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
        -DKORVALEN_WERROR=ON "-DKORVALEN_SANITIZE=$2" >/dev/null
}

# The executables behind the tests whose names match a regex, as build targets: read from the
# add_test() lines that CMake writes (before anything is built, so ctest cannot list them).
targets_of_tests() { # build-dir regex
    find "$1" -name CTestTestfile.cmake -print0 | xargs -0 cat |
        sed -n 's/^add_test(\[=\[\([^]]*\)\]=\] "\([^"]*\)".*$/\1 \2/p' |
        while read -r name exe; do
            [[ "$name" =~ $2 ]] || continue
            # The JACK fixtures run a shell script; their programs are dependencies of the tests.
            [ "$(basename "$exe")" = bash ] || basename "$exe"
        done | sort -u
}

run_asan() {
    local build=build-asan
    configure "$build" "address;undefined"
    cmake --build "$build" -j"$jobs"
    local options=detect_leaks=1:detect_stack_use_after_return=1
    # The screen-reader walks and the dark GTK theme run the editor on a real X server, where
    # libxkbcommon-x11 reads past its strings with strndup: they run without the strict string
    # checks.
    local on_x='^gui\.(a11y_tree_|test_contrast_gtk_dark$)'
    ASAN_OPTIONS=$options:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir "$build" --output-on-failure -j"$jobs" -LE '^alsa$' -E "$on_x"
    # There, D-Bus and GTK (the accessibility bus, the GTK platform theme) keep memory of their
    # own until the program ends.
    local lsan_x=$PWD/$build/lsan-x.supp
    printf '%s\n' 'leak:libdbus-1.so' 'leak:libgtk-3.so' 'leak:libgdk-3.so' >"$lsan_x"
    ASAN_OPTIONS=$options LSAN_OPTIONS=suppressions=$lsan_x \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir "$build" --output-on-failure -j"$jobs" -R "$on_x"
}

run_tsan() {
    local build=build-tsan
    configure "$build" thread
    mapfile -t targets < <(targets_of_tests "$build" "$tsan_virtual|$tsan_jack")
    [ ${#targets[@]} -gt 0 ] || { echo "sanitize: no thread tests found" >&2; exit 1; }
    echo "sanitize: thread build of ${targets[*]}"
    cmake --build "$build" -j"$jobs" --target "${targets[@]}"

    # Qt is not built with the thread sanitizer: its own locks (futex-based QMutex) and atomics
    # order what it hands between threads (queued signal arguments, connection objects, the jobs
    # of its thread pool), and the sanitizer cannot see them. On the virtual bus the sanitizer
    # therefore leaves out the memory that library calls (allocation, copies) touch and checks
    # every load and store of the program's own code, with every lock and thread join seen.
    # die_after_fork=0: QProcess forks a process with threads and execs at once.
    local common=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0
    TSAN_OPTIONS="$common:ignore_interceptors_accesses=1" \
        ctest --test-dir "$build" --output-on-failure -j"$jobs" -R "$tsan_virtual"

    # libjack cancels its threads inside library calls, which the setting above cannot follow;
    # over JACK the calls made by Qt's libraries are left out instead, with what that costs:
    # the joins of QThread are not seen either.
    local supp=$PWD/$build/tsan-jack.supp
    cat >"$supp" <<'EOF'
# Qt's libraries: what they allocate, copy, lock and wait on themselves (see sanitize.sh).
called_from_lib:libQt6Core.so.6
called_from_lib:libQt6Gui.so.6
called_from_lib:libQt6Widgets.so.6
called_from_lib:libQt6Test.so.6
# GLib, under Qt's event dispatcher: its allocator hands memory between the threads that run
# an event loop, behind locks that the sanitizer does not see either.
called_from_lib:libglib-2.0.so.0
# A test slot connected directly to the link's signal runs on the MIDI thread; the slot object
# that connect() builds reaches that thread through Qt's connection list.
race:TestE2eLink::longSysExArrivesInPieces
# JACK's lock-free ring buffer (libjack, not instrumented) between RtMidi's sending thread and
# the JACK process thread.
race:jack_ringbuffer_
EOF
    TSAN_OPTIONS="$common:suppressions=$supp" \
        ctest --test-dir "$build" --output-on-failure -j"$jobs" -R "$tsan_jack"
}

for step in "${steps[@]}"; do
    case "$step" in
    asan) run_asan ;;
    tsan) run_tsan ;;
    *) echo "usage: $0 [asan|tsan]..." >&2; exit 2 ;;
    esac
done
echo "sanitize: all clean"
